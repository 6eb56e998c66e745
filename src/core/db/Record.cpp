#include "core/db/Record.h"

#include "core/text/CaseFold.h"

#include <cstdlib>
#include <stdexcept>

namespace drivlet {

Record::Record(std::shared_ptr<const std::vector<std::string>> columns)
    : columns_(std::move(columns)), values_(columns_->size()), changed_(columns_->size(), false) {}

size_t Record::IndexOf(std::string_view column) const {
    for (size_t i = 0; i < columns_->size(); ++i)
        if (SameText((*columns_)[i], column)) return i;
    throw std::out_of_range("no column " + std::string(column));
}

bool Record::Has(std::string_view column) const {
    for (const auto& c : *columns_)
        if (SameText(c, column)) return true;
    return false;
}

bool Record::Modified() const {
    for (bool c : changed_)
        if (c) return true;
    return false;
}

const DbValue& Record::Get(std::string_view column) const {
    return values_[IndexOf(column)];
}

bool Record::IsNull(std::string_view column) const {
    return drivlet::IsNull(Get(column));
}

std::string Record::Text(std::string_view column) const {
    const DbValue& v = Get(column);
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v)) return std::to_string(*d);
    if (const auto* b = std::get_if<std::vector<uint8_t>>(&v)) return std::string(b->begin(), b->end());
    return {};
}

int64_t Record::Integer(std::string_view column) const {
    const DbValue& v = Get(column);
    if (const auto* i = std::get_if<int64_t>(&v)) return *i;
    if (const auto* d = std::get_if<double>(&v)) return static_cast<int64_t>(*d);
    if (const auto* s = std::get_if<std::string>(&v)) return std::strtoll(s->c_str(), nullptr, 10);
    return 0;
}

TDateTime Record::Date(std::string_view column) const {
    return OptionalDate(column).value_or(0.0);
}

std::optional<TDateTime> Record::OptionalDate(std::string_view column) const {
    const DbValue& v = Get(column);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
    if (const auto* s = std::get_if<std::string>(&v)) return std::strtod(s->c_str(), nullptr);
    return std::nullopt;
}

std::vector<uint8_t> Record::Blob(std::string_view column) const {
    const DbValue& v = Get(column);
    if (const auto* b = std::get_if<std::vector<uint8_t>>(&v)) return *b;
    if (const auto* s = std::get_if<std::string>(&v)) return std::vector<uint8_t>(s->begin(), s->end());
    return {};
}

void Record::Set(std::string_view column, DbValue value) {
    const size_t i = IndexOf(column);
    values_[i] = std::move(value);
    changed_[i] = true;
}

} // namespace drivlet
