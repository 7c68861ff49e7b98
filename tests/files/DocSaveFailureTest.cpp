// A document save whose stream refuses some of its bytes fails, whichever part they belonged to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "files/DocFile.h"
#include "paper/HeadlessWindow.h"
#include "paper/PaperTestSupport.h"
#include "platform/Stream.h"

namespace tf {
namespace {

// A memory stream that refuses writes (as a full disk does) from byte refuseFrom on, until the
// stream is cut back (a guarded writer removing a failed chunk); after that it accepts again,
// as a disk does once the failed chunk's bytes were given back.
class RefusingStream final : public Stream {
 public:
  explicit RefusingStream(int64_t refuseFrom) : refuseFrom_(refuseFrom) {}
  int64_t Read(void* buffer, int64_t count) override { return memory_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    if (!refusing_) return memory_.Write(buffer, count);
    const int64_t allowed = std::clamp<int64_t>(refuseFrom_ - memory_.Position(), 0, count);
    if (allowed < count) refused_ = true;
    return allowed > 0 ? memory_.Write(buffer, allowed) : 0;
  }
  int64_t Seek(int64_t offset, SeekOrigin origin) override { return memory_.Seek(offset, origin); }
  int64_t Size() override { return memory_.Size(); }
  bool SetSize(int64_t size) override {
    if (refused_) refusing_ = false;
    return memory_.SetSize(size);
  }
  int64_t Position() override { return memory_.Position(); }
  bool Refused() const { return refused_; }

 private:
  MemoryStream memory_;
  int64_t refuseFrom_;
  bool refusing_ = true;
  bool refused_ = false;
};

TEST(DocSaveFailure, ARefusedThumbnailWriteFailsTheSave) {
  test::PaperTestScope scope;
  HeadlessDocumentWindow window;
  ASSERT_TRUE(window.Paper().NewDocument("a.tfi", &window.Flow(), false, false, 72, 120, 160));
  // Bytes refused inside the thumbnail (it follows the 56-byte header), or nowhere.
  struct Case {
    int64_t refuseFrom;
    bool saved;
  };
  for (const Case c : {Case{100, false}, Case{70, false}, Case{int64_t{1} << 40, true}}) {
    SCOPED_TRACE(c.refuseFrom);
    RefusingStream stream(c.refuseFrom);
    EXPECT_EQ(WriteDocStream(stream, window.Paper(), kDocLayers | kDocThumbnail, nullptr), c.saved);
    EXPECT_EQ(stream.Refused(), !c.saved);
  }
}

}  // namespace
}  // namespace tf
