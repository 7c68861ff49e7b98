#include "files/DocFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "events/EventStream.h"
#include "files/DocChunkParts.h"
#include "files/LayerChunk.h"
#include "files/MaskChunk.h"
#include "paper/EventFileIO.h"
#include "paper/Paper.h"
#include "paper/PaperEventFile.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Progress.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "platform/Warning.h"
#include "raster/ImageChunk.h"

namespace tf {

namespace {

constexpr const char* kThumbnailWord = "サムネイル";
constexpr const char* kEventDataWord = "イベントデータ";
constexpr uint8_t kDefaultLayerMode = 3;  // normal

int16_t ToI16(int64_t value) {
  return static_cast<int16_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}
uint16_t ToU16(int64_t value) { return static_cast<uint16_t>(std::clamp<int64_t>(value, 0, 0xFFFF)); }

// The event stream of the document is dropped: a fresh recorder takes the old one's place.
void DiscardEvents(TPaper& paper) {
  if (!paper.CreateEventMngr()) DebugOut("LoadDocFile: the event recorder could not be made again\n");
}

}  // namespace

void EncodeDocHeader(const SDocHeader& h, uint8_t* out) {
  std::memset(out, 0, kDocHeaderBytes);
  StoreU32(out + 0, h.magic);
  StoreU32(out + 4, h.size);
  StoreI32(out + 8, h.width);
  StoreI32(out + 12, h.height);
  StoreU32(out + 16, h.version);
  StoreU16(out + 20, h.fixed4);
  StoreU16(out + 22, h.fixed58);
  StoreU32(out + 24, h.flags);
  StoreU32(out + 28, h.paperColor);
  StoreI16(out + 32, h.activeLayer);
  StoreI16(out + 34, h.activeMask);
  StoreU16(out + 36, h.resolution);
  StoreU16(out + 40, h.layerCount);
  StoreI16(out + 42, h.layerNameCounter);
  StoreU16(out + 44, h.maskCount);
  StoreI16(out + 46, h.maskNameCounter);
}

SDocHeader DecodeDocHeader(const uint8_t* in) {
  SDocHeader h;
  h.magic = LoadU32(in + 0);
  h.size = LoadU32(in + 4);
  h.width = LoadI32(in + 8);
  h.height = LoadI32(in + 12);
  h.version = LoadU32(in + 16);
  h.fixed4 = LoadU16(in + 20);
  h.fixed58 = LoadU16(in + 22);
  h.flags = LoadU32(in + 24);
  h.paperColor = LoadU32(in + 28);
  h.activeLayer = LoadI16(in + 32);
  h.activeMask = LoadI16(in + 34);
  h.resolution = LoadU16(in + 36);
  h.reserved0 = LoadU16(in + 38);
  h.layerCount = LoadU16(in + 40);
  h.layerNameCounter = LoadI16(in + 42);
  h.maskCount = LoadU16(in + 44);
  h.maskNameCounter = LoadI16(in + 46);
  return h;
}

uint8_t WriteDocHeader(Stream& stream, const TPaper& paper, uint32_t flags) {
  SDocHeader h;
  h.width = paper.canvasWidth;
  h.height = paper.canvasHeight;
  h.flags = flags & kDocCallerFlags;
  if (paper.selectionVisible) h.flags |= kDocSelectionShown;
  if (paper.selectionEnabled) h.flags |= kDocSelectionEnabled;
  if (!paper.showCanvasColor) h.flags |= kDocPaperHidden;
  if (paper.backgroundPattern) h.flags |= kDocPattern;
  h.paperColor = paper.paperColor;
  h.resolution = ToU16(paper.resolution);
  if (h.flags & kDocLayers) {
    h.flags |= kDocLayerFields;
    h.activeLayer = ToI16(paper.GetActiveLayerIndex());
    h.layerCount = ToU16(paper.GetLayerCount());
    h.layerNameCounter = ToI16(paper.Layers().NameCounter());
  }
  if (h.flags & kDocMasks) {
    h.flags |= kDocMaskFields;
    const CMaskMngr* masks = paper.MaskMngr();
    h.activeMask = ToI16(masks != nullptr ? masks->GetActiveIndex() : 0);
    h.maskCount = ToU16(masks != nullptr ? masks->GetCount() : 0);
    h.maskNameCounter = ToI16(masks != nullptr ? masks->NameCounter() : 0);
  }
  uint8_t bytes[kDocHeaderBytes];
  EncodeDocHeader(h, bytes);
  return stream.WriteExact(bytes, sizeof bytes) ? kFileOk : kFileShortWrite;
}

uint8_t ReadDocHeader(Stream& stream, SDocHeader& header) {
  uint8_t bytes[kDocHeaderBytes];
  if (!stream.ReadExact(bytes, sizeof bytes)) return kFileShortRead;
  header = DecodeDocHeader(bytes);
  if (header.magic != kDocMagic) return kFileChunkId;
  if (header.size != kDocHeaderSizeField) return kFileChunkSize;
  if (header.version > kDocVersion) return kFileLevel;
  if (header.width <= 0 || header.height <= 0 || header.width > kMaxDocCanvasSide ||
      header.height > kMaxDocCanvasSide)
    return kFileCanvasSize;
  return kFileOk;
}

int32_t WriteLayers(Stream& stream, const TPaper& paper, TProgressDlg* dialog, int32_t* failed) {
  int32_t written = 0;
  int32_t failures = 0;
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData* layer = paper.GetLayer(i);
    if (layer == nullptr) continue;
    const std::string name = Cp932ToUtf8(layer->name);
    ProgressSetStatus(dialog, DocFormat(kDocSavingStep, name));
    if (const uint8_t code = WriteLayerChunkGuarded(stream, *layer)) {
      ShowWarning(DocFormat(kDocSaveFailedText, kDocLayerWord, name, code));
      ++failures;
    } else {
      ++written;
    }
    ProgressStepBy(dialog, 1);
  }
  if (failed != nullptr) *failed = failures;
  return written;
}

bool WriteDocStream(Stream& stream, TPaper& paper, uint32_t flags, TProgressDlg* dialog) {
  try {
    if (WriteDocHeader(stream, paper, flags) != kFileOk) return false;
    bool complete = true;
    if (flags & kDocThumbnail) {
      ProgressSetStatus(dialog, DocFormat(kDocSavingStep, kThumbnailWord));
      CPaperEventFileDocument document(paper);
      // A thumbnail that cannot be made leaves no bytes; the file is whole without it. One the
      // file refused fails the save.
      if (const uint8_t code = WriteThumbnail(stream, document, true)) {
        DebugOutF("SaveDocFile: thumbnail not written (%d)\n", code);
        if (ThumbnailWriteFailed(code)) return false;
      }
      ProgressStepBy(dialog, 1);
    }
    if (flags & kDocLayers) {
      int32_t failed = 0;
      WriteLayers(stream, paper, dialog, &failed);
      if (failed > 0) complete = false;
    }
    if (flags & kDocMasks) {
      if (const CMaskMngr* masks = paper.MaskMngr()) {
        int32_t failed = 0;
        WriteMasks(stream, *masks, dialog, &failed);
        if (failed > 0) complete = false;
      }
    }
    if (flags & kDocEvents) {
      CEventMngr* events = paper.EventMngr();
      ProgressSetRange(dialog, events != nullptr ? events->getBlockCount() : 1, 0);
      ProgressSetStatus(dialog, DocFormat(kDocSavingStep, kEventDataWord));
      CPaperEventFileDocument document(paper);
      if (const uint8_t code = WriteEventChunk(stream, document, dialog)) {
        DebugOutF("SaveDocFile: the event stream was not written (%d)\n", code);
        complete = false;
      }
    }
    return complete;
  } catch (...) {
    return false;
  }
}

bool SaveDocFile(const std::string& path, TPaper& paper, uint32_t flags) {
  WaitCursor busy;
  std::unique_ptr<TProgressDlg> dialog;
  try {
    const CMaskMngr* masks = paper.MaskMngr();
    const int32_t maximum = ((flags & kDocThumbnail) ? 1 : 0) +
                            ((flags & kDocLayers) ? paper.GetLayerCount() : 0) +
                            ((flags & kDocMasks) && masks != nullptr ? masks->GetCount() : 0);
    dialog = CreateProgressDlg(0, maximum, "", "");
    ProgressSetTitle(dialog.get(), DocFormat(kDocSavingTitle, kDocPictureWord, DocFileNameOf(path)));
    AtomicFileWriter writer;
    if (!writer.Begin(path)) return false;
    if (WriteDocStream(writer.GetStream(), paper, flags, dialog.get()) && writer.Commit()) return true;
    writer.Abandon();
    return false;
  } catch (...) {
    return false;
  }
}

uint8_t ReadDocChunks(Stream& stream, TPaper& paper, TProgressDlg* dialog, SDocReadReport* report) {
  SDocReadReport local;
  SDocReadReport& r = report != nullptr ? *report : local;
  const int64_t end = stream.Size();
  uint8_t code = kFileOk;
  while (true) {
    const int64_t start = stream.Position();
    if (start < 0 || start >= end) break;
    SChunkHeader header{};
    bool skip = false;  // the body is passed over even when the code stays 0
    if (!ReadChunkHeader(stream, header)) {
      code = kFileShortRead;
      break;
    }
    if (header.id == kChunkLayer) {
      code = ReadLayerChunk(stream, paper.Layers(), header.size, !paper.HasDocumentUndo(), dialog);
      if (code != kFileOk) {
        ++r.layersFailed;
        ShowWarning(DocFormatCode(kDocReadFailedText, kDocLayerWord, code));
      } else {
        ++r.layersRead;
      }
    } else if (header.id == kChunkMask) {
      code = ReadMaskChunk(stream, paper.MaskMngr(), header.size, dialog);
      if (code != kFileOk) {
        ++r.masksFailed;
        ShowWarning(DocFormatCode(kDocReadFailedText, kDocMaskWord, code));
      } else {
        ++r.masksRead;
      }
    } else if (header.id == kChunkImage) {
      code = kFileThumbnailSkipped;
    } else if (header.id == kChunkEventData || header.id == kChunkEventStream) {
      ProgressSetStatus(dialog, DocFormat(kDocLoadingStep, kEventDataWord));
      if (!stream.SetPosition(start)) {
        code = kFileSeekFailed;
        break;
      }
      CPaperEventFileDocument document(paper);
      code = ReadEventChunkAt(stream, document, dialog);
      if (code == kFileOk) {
        r.eventsRead = true;
        // The loaded stream is the one recording goes on in.
        if (CEventMngr* events = paper.EventMngr(); events != nullptr && events->hasStream())
          events->state = kEventRecording;
      } else {
        if (code == kFileBadEventBlock) {
          r.badEventBlocks = true;
          ShowWarning(kDocBadEventBlockText);
        } else {
          ShowWarning(kDocEventsDiscardedText);
        }
        r.eventsRead = false;
        DiscardEvents(paper);
        // The chunk's own header is passed again below.
        if (!stream.SetPosition(start + kChunkHeaderBytes)) {
          code = kFileSeekFailed;
          break;
        }
      }
    } else if (header.id == kChunkEventBlock) {
      // After a bad event chunk its blocks are passed over without a code of their own.
      if (!r.badEventBlocks) code = kFileSkippedBlock;
      skip = true;
    } else if (header.id == kChunkLayerBlocks || header.id == kChunkMaskBlocks) {
      code = kFileSkippedBlock;
    } else {
      ++r.unknownChunks;
      r.lastUnknownId = header.id;
      code = kFileChunkId;
    }
    if (code == kFileOk && !skip) continue;
    const int64_t next = start + kChunkHeaderBytes + int64_t{header.size};
    if (next > end) {
      code = kFilePastEnd;
      break;
    }
    if (!stream.SetPosition(next)) {
      code = kFileSeekFailed;
      break;
    }
  }
  if (r.unknownChunks > 0)
    ShowWarningF(kDocUnknownChunksText, r.unknownChunks, ChunkIdText(r.lastUnknownId).c_str());
  return code;
}

uint8_t LoadDocStream(Stream& stream, TPaper& paper, const std::string& path, TProgressDlg* dialog,
                      SDocReadReport* report) {
  try {
    SDocHeader header;
    if (uint8_t code = ReadDocHeader(stream, header)) return code;
    ProgressSetRange(dialog,
                     ((header.flags & kDocLayers) ? header.layerCount : 0) +
                         ((header.flags & kDocMasks) ? header.maskCount : 0),
                     0);

    // The document from empty: canvas, switches and paper; no layer, no mask.
    TFlowImage* flow = paper.GetFlowImage();
    paper.filePath = path;
    paper.resolution = header.resolution != 0 ? header.resolution : kDefaultDocResolution;
    paper.showCanvasColor = (header.flags & kDocPaperHidden) ? 0 : 1;
    paper.backgroundPattern = (header.flags & kDocPattern) ? 1 : 0;
    if (!paper.SetCanvasSize(flow, header.width, header.height)) return kFileNoMemory;
    paper.Layers().Clear();
    paper.StorePaperColor(header.paperColor);
    CMaskMngr* masks = paper.MaskMngr();
    if (masks != nullptr) masks->Clear();

    SDocReadReport local;
    SDocReadReport& r = report != nullptr ? *report : local;
    if (const uint8_t code = ReadDocChunks(stream, paper, dialog, &r)) ShowWarningF(kDocReadErrorText, code);

    CLayerMngr& layers = paper.Layers();
    if (header.flags & kDocLayerFields) layers.SetNameCounter(header.layerNameCounter);
    if (masks != nullptr && (header.flags & kDocMaskFields)) masks->SetNameCounter(header.maskNameCounter);

    if (layers.Count() == 0) {
      // A failed layer has said so already; layers announced but never met would otherwise open
      // as an empty document without a word.
      if (r.layersFailed == 0 && (header.flags & kDocLayerFields) && header.layerCount > 0)
        ShowWarning(kDocNoLayerText);
      if (layers.InsertLayer(0, header.width, header.height, true, 255, !paper.HasDocumentUndo(),
                             kDefaultLayerMode) < 0)
        return kFileNoMemory;
      if (layers.Get(0)->name.empty()) layers.AssignDefaultName(0, 1);
    }

    if (masks != nullptr) {
      if (masks->GetCount() == 0) {
        masks->SetNameCounter(0);
        masks->NewMask(0);
        masks->SetActive(0);
      } else {
        const int32_t active = (header.flags & kDocMaskFields) ? header.activeMask : 0;
        masks->SetActive(std::clamp<int32_t>(active, 0, masks->GetLastIndex()));
        paper.RebuildSelectionOutline();
        paper.selectionVisible = (header.flags & kDocSelectionShown) ? 1 : 0;
        paper.selectionEnabled = (header.flags & kDocSelectionEnabled) ? 1 : 0;
      }
    }

    const int32_t activeLayer = (header.flags & kDocLayerFields) ? header.activeLayer : 0;
    layers.SetActive(std::clamp<int32_t>(activeLayer, 0, layers.TopIndex()));
    paper.SetActiveLayer(flow, layers.ActiveIndex());
    paper.RedrawAll(true);
    paper.StartEventRecording();
    paper.ready = 1;
    paper.NotifyReady(true);
    return kFileOk;
  } catch (...) {
    return kFileException;
  }
}

uint8_t LoadDocFile(const std::string& path, TPaper& paper) {
  try {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return kFileMissing;
    FileStream file;
    if (!file.OpenRead(path)) return kFileOpenFailed;
    WaitCursor busy;
    std::unique_ptr<TProgressDlg> dialog = CreateProgressDlg(0, 1, "", "");
    ProgressSetTitle(dialog.get(), DocFormat(kDocLoadingTitle, kDocPictureWord, DocFileNameOf(path)));
    return LoadDocStream(file, paper, path, dialog.get());
  } catch (...) {
    return kFileException;
  }
}

uint8_t ReadDocumentThumbnail(const std::string& path, std::unique_ptr<TMTC>& image, SSize& canvasSize) {
  try {
    image.reset();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return kFileMissing;
    FileStream file;
    if (!file.OpenRead(path)) return kFileOpenFailed;
    SDocHeader header;
    if (uint8_t code = ReadDocHeader(file, header)) return code;
    canvasSize = SSize{header.width, header.height};
    return ReadThumbnail(file, image);
  } catch (...) {
    return kFileException;
  }
}

}  // namespace tf
