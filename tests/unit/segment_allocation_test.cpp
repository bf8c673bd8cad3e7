// A package large enough for several segments, checked against a model of the
// allocation rule: every object is looked up through the written pointers (following
// far pointers) in creation order and must sit exactly where the rule puts it.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/examples.hpp"
#include "support/words.hpp"

namespace quarn_package {
namespace {

using testing::FramedMessage;

struct Loc {
  std::size_t segment;
  std::size_t word;
};

// The allocation rule, written out on its own: first segment 1024 words; the pointer's
// segment if the object fits; else the first segment with room for object and pad;
// else a new segment of max(needed, next-size), next-size growing by each segment.
class AllocationModel {
 public:
  struct Placement {
    Loc object;
    bool far;
    Loc pad;
  };

  Placement place(Loc pointer, std::size_t words) {
    Seg& own = segments_[pointer.segment];
    if (own.used + words <= own.capacity) {
      own.used += words;
      return {{pointer.segment, own.used - words}, false, {}};
    }
    std::size_t s = 0;
    while (s < segments_.size() && segments_[s].used + words + 1 > segments_[s].capacity) ++s;
    if (s == segments_.size()) {
      const std::size_t size = std::max(words + 1, next_);
      next_ = std::min<std::size_t>(next_ + size, std::size_t{1} << 29);
      segments_.push_back({size, 0});
    }
    const Loc pad{s, segments_[s].used};
    segments_[s].used += words + 1;
    return {{s, pad.word + 1}, true, pad};
  }

  std::size_t segment_count() const { return segments_.size(); }
  std::size_t used(std::size_t s) const { return segments_[s].used; }

 private:
  struct Seg {
    std::size_t capacity;
    std::size_t used;
  };
  std::vector<Seg> segments_{{1024, 1}};  // the root pointer is word 0
  std::size_t next_ = 2048;
};

std::size_t text_words(std::size_t bytes) { return (bytes + 1 + 7) / 8; }
std::size_t data_words(std::size_t bytes) { return (bytes + 7) / 8; }
std::size_t list_words(std::size_t count, std::size_t element_words) {
  return 1 + count * element_words;
}

// Walks the message in the writer's creation order for applications that only use
// tiles and inputs, checking each object against the model.
class CreationOrderWalk {
 public:
  explicit CreationOrderWalk(const FramedMessage& m) : m_(m) {}

  Loc visit(Loc pointer, std::size_t words) {
    const auto expected = model_.place(pointer, words);
    const auto actual = m_.follow(pointer.segment, pointer.word);
    EXPECT_EQ(actual.far, expected.far) << "object " << objects_;
    EXPECT_EQ(actual.segment, expected.object.segment) << "object " << objects_;
    EXPECT_EQ(actual.word, expected.object.word) << "object " << objects_;
    if (expected.far) {
      EXPECT_EQ(actual.pad_word, expected.pad.word) << "object " << objects_;
      ++far_;
      if (expected.object.segment + 1 < model_.segment_count()) ++reused_;
    }
    ++objects_;
    return expected.object;
  }

  void walk(const Application& app) {
    const Loc root = visit({0, 0}, 14);
    auto field = [&](Loc s, std::size_t data, std::size_t p) {
      return Loc{s.segment, s.word + data + p};
    };
    visit(field(root, 2, 0), text_words(app.compiler_version.size()));
    visit(field(root, 2, 1), text_words(6));
    const Loc tiles = visit(field(root, 2, 2), list_words(app.tiles.size(), 3));
    for (std::size_t i = 0; i < app.tiles.size(); ++i) {
      const Loc tile{tiles.segment, tiles.word + 1 + 3 * i};
      const auto& segments = app.tiles[i].segments;
      const Loc list = visit(field(tile, 2, 0), list_words(segments.size(), 3));
      for (std::size_t j = 0; j < segments.size(); ++j) {
        visit(field({list.segment, list.word + 1 + 3 * j}, 2, 0),
              data_words(segments[j].data.size()));
      }
    }
    const Loc inputs = visit(field(root, 2, 3), list_words(app.inputs.size(), 4));
    for (std::size_t i = 0; i < app.inputs.size(); ++i) {
      const Binding& b = app.inputs[i];
      const Loc binding{inputs.segment, inputs.word + 1 + 4 * i};
      visit(field(binding, 0, 0), text_words(b.name.size()));
      visit(field(binding, 0, 1), text_words(b.dtype.size()));
      visit(field(binding, 0, 2), (b.shape.size() * 4 + 7) / 8);
      visit(field(binding, 0, 3), list_words(b.slices.size(), 3));
    }
    visit(field(root, 2, 4), 1);
    visit(field(root, 2, 5), 1);
    const Loc exchange = visit(field(root, 2, 6), 5);
    visit(field(exchange, 2, 0), 1);
    visit(field(exchange, 2, 1), 0);
    visit(field(exchange, 2, 2), 1);
    for (std::size_t p = 7; p < 12; ++p) visit(field(root, 2, p), 1);
  }

  const AllocationModel& model() const { return model_; }
  int far_pointers() const { return far_; }
  int reused_segments() const { return reused_; }

 private:
  const FramedMessage& m_;
  AllocationModel model_;
  int objects_ = 0;
  int far_ = 0;
  int reused_ = 0;
};

Application many_segment_application() {
  Application app = testing::minimal_application();
  app.tiles.clear();
  const std::size_t sizes[] = {5000, 20000, 1500, 64000, 12, 0, 9000};
  for (std::uint32_t t = 0; t < 6; ++t) {
    TileImage tile{.physical_tile = t};
    std::uint32_t address = kTileMemoryBase;
    for (std::size_t j = 0; j < 3; ++j) {
      const std::size_t n = sizes[(t + j) % std::size(sizes)];
      std::vector<std::uint8_t> data(n);
      for (std::size_t k = 0; k < n; ++k) data[k] = static_cast<std::uint8_t>(k * 7 + t);
      const auto size = static_cast<std::uint32_t>(n + 8);
      tile.segments.push_back({address, size, std::move(data), 0});
      address += size;
    }
    app.tiles.push_back(std::move(tile));
  }
  for (std::uint32_t i = 0; i < 400; ++i) {
    app.inputs.push_back(Binding{.name = "input." + std::to_string(i),
                                 .dtype = i % 3 == 0 ? "" : "f32",
                                 .shape = std::vector<std::uint32_t>(i % 4, i),
                                 .slices = {{i % 6, kTileMemoryBase, 0, 4}}});
  }
  return app;
}

TEST(SegmentAllocation, LargePackageFollowsTheAllocationRule) {
  const Application app = many_segment_application();
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(app.write(bytes));
  const FramedMessage m(bytes);
  CreationOrderWalk walk(m);
  walk.walk(app);

  ASSERT_EQ(m.segment_count(), walk.model().segment_count());
  for (std::size_t s = 0; s < m.segment_count(); ++s) {
    EXPECT_EQ(m.segment_words(s), walk.model().used(s)) << "segment " << s;
  }
  EXPECT_EQ(m.size_bytes(), bytes.size());
  // The case is only worth its name if it exercises every branch of the rule.
  EXPECT_GE(m.segment_count(), 4u);
  EXPECT_GT(walk.far_pointers(), 10);
  EXPECT_GT(walk.reused_segments(), 0);

  const auto back = Application::read(bytes);
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(*back, app);
}

}  // namespace
}  // namespace quarn_package
