#pragma once
// Leaves files out of a job by extension, by name or wildcard mask, and by attribute.
#include "core/stream/TPersistent.h"
#include "platform/FileAttributes.h"

#include <string>
#include <string_view>

namespace drivlet {

class TFileFilter final : public TPersistent {
public:
    TStringList ExcludeFileExtList; // with the leading dot, lower case
    TStringList ExcludeMaskList;    // names or masks, lower case
    bool Hidden = false;
    bool System = false;
    bool ReadOnly = false;
    // Not stored; the attribute test applies only while it is true.
    bool CheckAttributes = true;

    // Attributes are read through the portable reader unless the owner supplies another.
    explicit TFileFilter(const IFileAttributes* attributes = nullptr);
    TFileFilter(const TFileFilter& other);
    TFileFilter& operator=(const TFileFilter& other);

    std::string_view ClassName() const override { return "TFileFilter"; }
    void DefineProperties(PropertyList& list) override;

    // Copies the stored properties; CheckAttributes and the attribute reader stay.
    void Assign(const TFileFilter& other);
    void SetAttributeReader(const IFileAttributes* attributes);

    // Whether the file `name` (a bare name) in `folder` is left out.
    bool IsExcluded(std::string_view name, std::string_view folder) const;

private:
    const IFileAttributes* attributes_;
};

// The mask rule: "?" is one character that is not a dot, "*" one or more characters that are not
// dots; letter case counts.
bool MatchesMask(std::string_view mask, std::string_view name);

} // namespace drivlet
