// The segment count our readers accept, against libcapnp's stream reader: a valid package
// followed by empty segments, which the framing allows. We refuse tables of more than 512
// segments; libcapnp's stream reader already refuses 512 itself, its flat reader never.
#include <gtest/gtest.h>

#include <capnp/serialize.h>
#include <kj/io.h>

#include <sstream>
#include <string>

#include "oracle_support.hpp"
#include "support/examples.hpp"

namespace quarn_package::oracle {
namespace {

bool libcapnp_stream_reads(const Bytes& bytes) {
  try {
    kj::ArrayInputStream in(kj::ArrayPtr<const kj::byte>(bytes.data(), bytes.size()));
    capnp::InputStreamMessageReader reader(in);
    to_record(reader.getRoot<cs::Application>());
    return true;
  } catch (const kj::Exception&) {
    return false;
  }
}

TEST(SegmentTable, MoreThan512SegmentsAreRefused) {
  const Application app = quarn_package::testing::full_application();
  const Bytes package = written(app);
  for (std::size_t count : {2u, 100u, 510u, 511u, 512u, 513u}) {
    SCOPED_TRACE(std::to_string(count) + " segments");
    std::vector<Words> segments = segments_of(package);
    segments.resize(count);
    const Bytes bytes = frame(segments);
    EXPECT_EQ(libcapnp_stream_reads(bytes), count < 512);
    const bool accepted = count <= 512;

    std::istringstream stream(std::string(bytes.begin(), bytes.end()));
    for (const Result<Application>& ours : {Application::read(bytes), Application::read(stream)}) {
      ASSERT_EQ(ours.has_value(), accepted);
      if (accepted) {
        EXPECT_EQ(*ours, app);
      } else {
        const auto* capnp = std::get_if<PackageError::Capnp>(&ours.error().detail());
        ASSERT_NE(capnp, nullptr) << ours.error();
        EXPECT_EQ(capnp->kind, CapnpErrorKind::SegmentTable);
      }
    }
  }
}

}  // namespace
}  // namespace quarn_package::oracle
