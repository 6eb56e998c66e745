#pragma once
// One folder of a folder manager's list, with the attributes it is given, and the ordered list.
#include "core/app/TFileAttributes.h"

#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

// True for a path that does not depend on a base folder: a POSIX path ("/..."), a network path
// ("\\server\share") or a drive-letter path ("D:\...").
bool IsAbsoluteFolderPath(std::string_view path);

class TDirConfigItem {
public:
    TDirConfigItem() = default;
    TDirConfigItem(std::string caption, std::string dir);

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) { caption_ = std::move(caption); }

    const std::string& Dir() const { return dir_; }
    // Also decides InWorkDir: a relative path lies in the work folder.
    void SetDir(std::string dir);

    bool InWorkDir() const { return inWorkDir_; }
    void SetInWorkDir(bool value) { inWorkDir_ = value; }

    TFileAttributes& FileAttributes() { return attributes_; }
    const TFileAttributes& FileAttributes() const { return attributes_; }

private:
    std::string caption_;
    std::string dir_;
    bool inWorkDir_ = true;
    TFileAttributes attributes_;
};

class TDirConfigItems {
public:
    TDirConfigItem& Add() { return items_.emplace_back(); }
    TDirConfigItem& Add(std::string caption, std::string dir) {
        return items_.emplace_back(std::move(caption), std::move(dir));
    }
    int Count() const { return static_cast<int>(items_.size()); }
    TDirConfigItem& operator[](int index) { return items_.at(static_cast<size_t>(index)); }
    const TDirConfigItem& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
    void Clear() { items_.clear(); }

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<TDirConfigItem> items_;
};

} // namespace drivlet
