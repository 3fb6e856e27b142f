// Lists a module's descriptor and parameter panel as text, the way an editor shows an
// effect's controls: groups as indented headings, one line per parameter.
#pragma once

#include <ostream>

#include "host/descriptor_reader.h"
#include "host/parameter_store.h"

namespace kestrel {

void printDescriptor(std::ostream& out, const ModuleDescriptor& descriptor);
void printPanel(std::ostream& out, const ParameterStore& parameters);

// One parameter's line without indentation, e.g. `Y  [float 0..100 %, default 80]  id`.
std::string describeParameter(const ParameterDeclaration& declaration);

}  // namespace kestrel
