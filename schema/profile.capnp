# Profile report file: per tile, each planned step with its start and end cycle counter.
# Written with schemaVersion 5; versions 1 to 5 share this layout.
@0xb24c65a32323db86;

$import "/capnp/c++.capnp".namespace("quarn_package::capnp_schema");

using Common = import "profile_common.capnp";

struct Profile {
  schemaVersion @0 :UInt32;
  clockHz @1 :UInt64;
  tiles @2 :List(TileProfile);
}

struct TileProfile {
  physicalTile @0 :UInt32;
  samples @1 :List(CycleSample);
}

struct CycleSample {
  step @0 :Common.Step;
  startCycle @1 :UInt32;
  endCycle @2 :UInt32;
}
