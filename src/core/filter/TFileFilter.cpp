#include "core/filter/TFileFilter.h"

#include "core/app/PortableFileAttributes.h"
#include "core/text/CaseFold.h"

#include <vector>

namespace drivlet {

TFileFilter::TFileFilter(const IFileAttributes* attributes)
    : attributes_(attributes ? attributes : &PortableFileAttributes::Instance()) {}

TFileFilter::TFileFilter(const TFileFilter& other) : TPersistent(), attributes_(other.attributes_) {
    Assign(other);
}

TFileFilter& TFileFilter::operator=(const TFileFilter& other) {
    Assign(other);
    return *this;
}

void TFileFilter::DefineProperties(PropertyList& list) {
    list.Strings("ExcludeFileExtList", ExcludeFileExtList);
    list.Strings("ExcludeMaskList", ExcludeMaskList);
    list.Boolean("Hidden", Hidden, false);
    list.Boolean("System", System, false);
    list.Boolean("ReadOnly", ReadOnly, false);
}

void TFileFilter::Assign(const TFileFilter& other) {
    if (this == &other) return;
    Hidden = other.Hidden;
    System = other.System;
    ReadOnly = other.ReadOnly;
    ExcludeFileExtList = other.ExcludeFileExtList;
    ExcludeMaskList = other.ExcludeMaskList;
}

void TFileFilter::SetAttributeReader(const IFileAttributes* attributes) {
    attributes_ = attributes ? attributes : &PortableFileAttributes::Instance();
}

namespace {

// match[i][j]: mask from i matches name from j. Tabulated so that a hostile mask cannot make the
// backtracking exponential.
bool MatchFrom(std::string_view mask, std::string_view name, size_t i, size_t j, std::vector<int8_t>& memo) {
    int8_t& cell = memo[i * (name.size() + 1) + j];
    if (cell >= 0) return cell != 0;
    bool result = false;
    if (i == mask.size()) {
        result = j == name.size();
    } else if (mask[i] == '*') {
        for (size_t n = j; n < name.size() && name[n] != '.' && !result; ++n)
            result = MatchFrom(mask, name, i + 1, n + 1, memo);
    } else if (j < name.size()) {
        const bool same = mask[i] == '?' ? name[j] != '.' : mask[i] == name[j];
        result = same && MatchFrom(mask, name, i + 1, j + 1, memo);
    }
    cell = result ? 1 : 0;
    return result;
}

} // namespace

bool MatchesMask(std::string_view mask, std::string_view name) {
    std::vector<int8_t> memo((mask.size() + 1) * (name.size() + 1), -1);
    return MatchFrom(mask, name, 0, 0, memo);
}

bool TFileFilter::IsExcluded(std::string_view name, std::string_view folder) const {
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && ExcludeFileExtList.Contains(name.substr(dot))) return true;

    // Folded once for all the masks, and not at all without any (a scan asks for every file).
    const std::string lower = ExcludeMaskList.Count() == 0 ? std::string() : LowerCase(name);
    for (const std::string& entry : ExcludeMaskList) {
        const bool isMask = entry.find_first_of("?*") != std::string::npos;
        if (isMask ? MatchesMask(entry, lower) : entry == lower) return true;
    }

    if (CheckAttributes && (ReadOnly || Hidden || System)) {
        std::string path(folder);
        if (!path.empty() && path.back() != '/') path += '/';
        // The name as it stands: on a case-sensitive file system the lower-cased name may not exist.
        path += name;
        const uint32_t attrs = attributes_->GetAttributes(path).value_or(0xFFFFFFFFu);
        if ((ReadOnly && (attrs & fa::ReadOnly)) || (Hidden && (attrs & fa::Hidden)) ||
            (System && (attrs & fa::System)))
            return true;
    }
    return false;
}

} // namespace drivlet
