#include "paper/EventFileIO.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "events/EventFile.h"
#include "events/EventStream.h"
#include "paper/EventFileDocument.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Progress.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/Drawing.h"
#include "raster/ImageChunk.h"

namespace tf {

namespace {

// Texts of the progress dialog and the warning.
constexpr const char* kSavingTitle = "%s保存中 (%s)";
constexpr const char* kLoadingTitle = "%sロード中 (%s)";
constexpr const char* kSavingStep = "%sを保存しています...";
constexpr const char* kLoadingStep = "%sをロードしています...";
constexpr const char* kEventWord = "イベント";
constexpr const char* kThumbnailWord = "サムネイル";
constexpr const char* kEventDataWord = "イベントデータ";
constexpr const char* kRemoveFinFailedText = "Alert: failed to remove EventFin!";

// Thumbnails fit this box.
constexpr int32_t kThumbnailBox = 256;
// Thumbnails above this level are written with the byte pass.
constexpr int32_t kPlainThumbnailLevel = 15;

std::string Format(const char* format, const char* a, const std::string& b = std::string()) {
  char text[1024];
  std::snprintf(text, sizeof text, format, a, b.c_str());
  return text;
}

std::string FileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace

uint8_t WriteThumbnail(Stream& stream, CEventFileDocument& document, bool scrambled) {
  try {
    const SSize canvas = document.CanvasSize();
    SRectWH fit{};
    if (!FitSizeInBox(fit, SSize{kThumbnailBox, kThumbnailBox}, canvas)) return kFileNoMemory;
    TMTC image(fit.width, fit.height);
    if (!image.IsValid()) return kFileNoMemory;
    const TMTC* picture = document.BeginThumbnailPicture();
    if (picture == nullptr) {
      DebugOut("WriteThumbnail: the document has no composed picture");
      document.EndThumbnailPicture();
      return kFileException;
    }
    Reduce4x4To(*picture, image);
    document.EndThumbnailPicture();
    image.SetAlphaAll(255);
    return WritePictureChunk(stream, canvas, image, scrambled);
  } catch (...) {
    return kFileException;
  }
}

bool ThumbnailWriteFailed(uint8_t code) {
  return code != kFileOk && code != kFileNoMemory && code != kFileException;
}

uint8_t WriteEventChunk(Stream& stream, CEventFileDocument& document, TProgressDlg* dialog) {
  return WriteGuarded(stream, [&]() -> uint8_t {
    CEventMngr* manager = document.EventManager();
    if (manager == nullptr) return kFileNoEventManager;
    return WriteEventData(stream, *manager, document.CanvasSize(), kMaxEventFileLevel, dialog, -1);
  });
}

uint8_t ReadEventChunkAt(Stream& stream, CEventFileDocument& document, TProgressDlg* dialog) {
  const int64_t start = stream.Position();
  uint8_t code = kFileException;
  try {
    code = ReadEventChunk(stream, document.EventManager(), dialog);
  } catch (...) {
    code = kFileException;
  }
  if (code != kFileOk && start >= 0) stream.SetPosition(start);
  return code;
}

bool SaveEventFile(const std::string& path, CEventFileDocument& document, bool withThumbnail, int32_t flagWord,
                   int32_t level, bool fullForm) {
  CEventMngr* manager = document.EventManager();
  if (manager == nullptr || !manager->isRecording()) return false;
  document.ClearDocumentRedo();
  manager->clearRedo();
  if (!manager->writeEventFin()) return false;

  bool saved = false;
  {
    WaitCursor busy;
    std::unique_ptr<TProgressDlg> dialog;
    try {
      const std::string name = FileNameOf(path);
      dialog = CreateProgressDlg(0, (withThumbnail ? 1 : 0) + manager->getBlockCount(),
                                 Format(kSavingTitle, kEventWord, name), "");
      AtomicFileWriter writer;
      if (writer.Begin(path)) {
        Stream& file = writer.GetStream();
        uint8_t code = kFileOk;
        if (withThumbnail) {
          ProgressSetStatus(dialog.get(), Format(kSavingStep, kThumbnailWord));
          // A thumbnail that cannot be made leaves no bytes and the events still are written; one
          // the file refused fails the save, so that the old file stays whole.
          if (const uint8_t made = WriteThumbnail(file, document, level > kPlainThumbnailLevel)) {
            DebugOutF("SaveEventFile: thumbnail not written (%d)", made);
            if (ThumbnailWriteFailed(made)) code = made;
          }
          ProgressStepBy(dialog.get(), 1);
        }
        ProgressSetStatus(dialog.get(), Format(kSavingStep, kEventDataWord));
        if (code == kFileOk)
          code = fullForm ? WriteEventData(file, *manager, document.CanvasSize(), level, dialog.get(), flagWord)
                          : WriteEventStream(file, *manager, document.CanvasSize());
        saved = code == kFileOk && writer.Commit();
        if (!saved) writer.Abandon();
      }
    } catch (...) {
      saved = false;
    }
    dialog.reset();
    if (!manager->removeEventFin()) ShowWarning(kRemoveFinFailedText);
  }
  return saved;
}

uint8_t LoadEventFile(const std::string& path, CEventFileDocument& document) {
  try {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return kFileMissing;
    CEventMngr* manager = document.EventManager();
    if (manager == nullptr || !manager->isReady()) return kFileNoEventManager;
    std::unique_ptr<TProgressDlg> dialog = CreateProgressDlg(
        0, 1, Format(kLoadingTitle, kEventWord, FileNameOf(path)), Format(kLoadingStep, kEventDataWord));
    FileStream file;
    if (!file.OpenRead(path)) return kFileOpenFailed;
    return ReadEventChunk(file, manager, dialog.get());
  } catch (...) {
    return kFileException;
  }
}

}  // namespace tf
