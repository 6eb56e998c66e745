#pragma once
// Stored objects describe their published properties, in declaration order, through a
// PropertyList; the object stream writer and reader walk that description.
#include "core/stream/TStringList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace drivlet {

class TPersistent;
class TCollectionBase;

enum class PropertyKind {
    Integer,
    Int64,
    Boolean,
    Enumeration,
    Set,
    DateTime,
    Text,
    Strings,
    Object,
    Collection
};

// Value names of an enumeration or of a set's members, by position.
using ValueNames = std::span<const std::string_view>;

struct PropertyDef {
    std::string name;
    PropertyKind kind{};
    // Integer, Int64, Boolean (0/1), Enumeration (position), Set (member bits).
    std::function<int64_t()> getInt;
    std::function<void(int64_t)> setInt;
    int64_t min = 0, max = 0;               // range accepted when reading an integer
    std::optional<int64_t> declaredDefault; // left out of the stream when equal
    ValueNames names;
    double* dateTime = nullptr;
    std::string* text = nullptr;
    TStringList* strings = nullptr;
    TPersistent* object = nullptr;
    TCollectionBase* collection = nullptr;
};

class PropertyList {
public:
    void Integer(std::string name, int32_t& value, std::optional<int32_t> declaredDefault = std::nullopt);
    void Byte(std::string name, uint8_t& value, std::optional<uint8_t> declaredDefault = std::nullopt);
    void Int64(std::string name, int64_t& value);
    void Boolean(std::string name, bool& value, std::optional<bool> declaredDefault = std::nullopt);
    template <class E>
    void Enumeration(std::string name, E& value, ValueNames names,
                     std::optional<std::type_identity_t<E>> declaredDefault = std::nullopt) {
        PropertyDef d;
        d.name = std::move(name);
        d.kind = PropertyKind::Enumeration;
        d.getInt = [&value] { return static_cast<int64_t>(value); };
        d.setInt = [&value](int64_t v) { value = static_cast<E>(v); };
        d.min = 0;
        d.max = static_cast<int64_t>(names.size()) - 1;
        if (declaredDefault) d.declaredDefault = static_cast<int64_t>(*declaredDefault);
        d.names = names;
        defs_.push_back(std::move(d));
    }
    // A set held as a byte of member bits (member n is bit n).
    void Set(std::string name, uint8_t& bits, ValueNames names,
             std::optional<uint8_t> declaredDefault = std::nullopt);
    void DateTime(std::string name, double& value);
    void Text(std::string name, std::string& value);
    void Strings(std::string name, TStringList& value);
    void Object(std::string name, TPersistent& value);
    void Collection(std::string name, TCollectionBase& value);

    const std::vector<PropertyDef>& Defs() const { return defs_; }
    // Case-insensitive, as property names are; nullptr when absent.
    const PropertyDef* Find(std::string_view name) const;

private:
    std::vector<PropertyDef> defs_;
};

class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual std::string_view ClassName() const = 0;
    virtual void DefineProperties(PropertyList& list) = 0;

    PropertyList Properties() {
        PropertyList list;
        DefineProperties(list);
        return list;
    }
};

// A collection of stored items, all of one class.
class TCollectionBase {
public:
    virtual ~TCollectionBase() = default;
    virtual size_t Count() const = 0;
    virtual TPersistent& ItemAt(size_t index) = 0;
    virtual TPersistent& AddItem() = 0;
    virtual void Clear() = 0;
};

template <class Item> class TCollection final : public TCollectionBase {
public:
    size_t Count() const override { return items_.size(); }
    TPersistent& ItemAt(size_t index) override { return *items_.at(index); }
    TPersistent& AddItem() override { return Add(); }
    void Clear() override { items_.clear(); }

    Item& Add() { return *items_.emplace_back(std::make_unique<Item>()); }
    Item& operator[](size_t index) { return *items_.at(index); }
    const Item& operator[](size_t index) const { return *items_.at(index); }
    void Delete(size_t index) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index)); }

private:
    std::vector<std::unique_ptr<Item>> items_;
};

} // namespace drivlet
