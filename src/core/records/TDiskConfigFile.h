#pragma once
// "Drive Config.cfg": the computers that have used a drive.
#include "core/stream/TSaveLoadComponent.h"

namespace drivlet {

class TDiskConfigFile final : public TSaveLoadComponent {
public:
    TStringList PCList;

    std::string_view ClassName() const override { return "TDiskConfigFile"; }
    void DefineProperties(PropertyList& list) override {
        TSaveLoadComponent::DefineProperties(list);
        list.Strings("PCList", PCList);
    }
};

} // namespace drivlet
