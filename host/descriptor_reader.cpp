#include "host/descriptor_reader.h"

#include <algorithm>
#include <vector>

namespace kestrel {

ModuleDescriptor readDescriptor(const PluginModule& module) {
    std::vector<wchar_t> name(512 + 1), category(300 + 1), vendor(100 + 1), legal(400 + 1);
    std::vector<char> identifier(100 + 1);
    PluginDescriptor record{};
    record.displayName = name.data();
    record.category = category.data();
    record.vendor = vendor.data();
    record.legalNotice = legal.data();
    record.identifier = identifier.data();
    module.pluginInfo()(nullptr, nullptr, &record);

    ModuleDescriptor d;
    std::copy(std::begin(record.classId), std::end(record.classId), d.classId.begin());
    d.displayName = name.data();
    d.category = category.data();
    d.vendor = vendor.data();
    d.legalNotice = legal.data();
    d.identifier = identifier.data();
    std::copy(std::begin(record.numbers56), std::end(record.numbers56), d.numbers56.begin());
    std::copy(std::begin(record.numbers88), std::end(record.numbers88), d.numbers88.begin());
    return d;
}

}  // namespace kestrel
