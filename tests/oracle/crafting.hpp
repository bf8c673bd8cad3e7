// Changing one thing in a valid package with libcapnp.
#pragma once

#include <capnp/any.h>
#include <capnp/message.h>

#include <cstdint>
#include <cstring>

#include "oracle_support.hpp"
#include "support/examples.hpp"

namespace quarn_package::oracle {

using App = cs::Application::Builder;
using Change = void (*)(App);

// The package with one record of every kind, and an input binding.
inline Application base_application() {
  Application app = quarn_package::testing::full_application();
  app.inputs.push_back(
      Binding{.name = "x", .dtype = "f32", .shape = {4}, .slices = {{0, 0x4C000, 0, 16}}});
  return app;
}

// The base package copied into a libcapnp builder, changed, and serialised.
inline Bytes changed_package(Change change) {
  const Bytes valid = written(base_application());
  CapnpView view(valid);
  capnp::MallocMessageBuilder message;
  message.setRoot(view.root<cs::Application>());
  change(message.getRoot<cs::Application>());
  return serialize(message);
}

// Pointer `index` of a struct, to be set to whatever libcapnp can put there.
template <class StructBuilder>
capnp::AnyPointer::Builder pointer(StructBuilder s, unsigned index) {
  return capnp::AnyStruct::Builder(kj::mv(s)).getPointerSection()[index];
}

// Overwrites pointer `index` of a struct with raw bits; the pointer section follows the
// data section.
template <class StructBuilder>
void set_pointer_bits(StructBuilder s, unsigned index, std::uint64_t bits) {
  capnp::AnyStruct::Builder any(kj::mv(s));
  std::memcpy(any.getDataSection().end() + 8 * index, &bits, 8);
}

}  // namespace quarn_package::oracle
