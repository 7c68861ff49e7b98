#include "files/FilePreview.h"

#include <sys/stat.h>

#include <cstdio>
#include <new>
#include <vector>

#include "events/EventFile.h"
#include "files/DocFile.h"
#include "files/FileKinds.h"
#include "files/ImageCodec.h"
#include "files/ImageFiles.h"
#include "files/JpegCodec.h"
#include "platform/Host.h"
#include "platform/ResourceText.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

bool ReadLocalTime(const std::string& path, std::tm& local) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  const time_t t = st.st_mtime;
  return ::localtime_r(&t, &local) != nullptr;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

}  // namespace

CFilePreview::CFilePreview() : timeReader_(ReadLocalTime) {
  if (image_.Resize(kFilePreviewSize, kFilePreviewSize)) image_.FillAll(0);
}

bool CFilePreview::MakePicture(const std::string& path, TMTC& into, SSize& pictureSize) {
  std::unique_ptr<TMTC> picture;
  SSize size{0, 0};
  const PathKind kind = GetFileKind(path);
  switch (kind) {
    case kPathDocument:
      if (ReadDocumentThumbnail(path, picture, size) != 0) picture.reset();
      break;
    case kPathEvents2:
    case kPathEvents3:
    case kPathEvents4:
      if (ReadEventThumbnail(path, picture, size) != 0) picture.reset();
      break;
    case kPathBmp:
    case kPathPng: {
      WaitCursor busy;
      picture = LoadImageFile(path);
      if (picture) size = SSize{picture->Width(), picture->Height()};
      break;
    }
    case kPathJpeg: {
      // Decoded at 1/2, 1/4 or 1/8 where the picture is that much larger than the pane.
      WaitCursor busy;
      std::vector<uint8_t> bytes;
      if (ReadImageFileBytes(path, bytes) != kImageOk) break;
      int32_t w = 0, h = 0;
      SDib dib;
      int32_t denominator = 8;
      if (JpegDecodeScaled(bytes.data(), bytes.size(), 8, dib, &w, &h) != kImageOk) break;
      while (denominator > 1 && (w / denominator < kFilePreviewSize && h / denominator < kFilePreviewSize))
        denominator /= 2;
      if (denominator != 8 && JpegDecodeScaled(bytes.data(), bytes.size(), denominator, dib) != kImageOk) break;
      picture = DibToImage32(dib);
      size = SSize{w, h};
      break;
    }
    case kPathPsd: {
      WaitCursor busy;
      picture = LoadPsdPreview(path, size);
      if (!picture) {
        picture = LoadImageFile(path);
        if (picture) size = SSize{picture->Width(), picture->Height()};
      }
      break;
    }
    default: break;
  }
  if (!picture || !picture->IsValid() || picture->Width() <= 0 || picture->Height() <= 0) return false;
  if (!into.Resize(kFilePreviewSize, kFilePreviewSize)) return false;
  into.FillAll(0);
  const int32_t pw = picture->Width(), ph = picture->Height();
  int32_t dw, dh;
  if (pw >= ph) {
    dw = kFilePreviewSize;
    dh = static_cast<int32_t>(std::max<int64_t>(1, int64_t{ph} * kFilePreviewSize / pw));
  } else {
    dh = kFilePreviewSize;
    dw = static_cast<int32_t>(std::max<int64_t>(1, int64_t{pw} * kFilePreviewSize / ph));
  }
  CScaleImageTMTC scaler(picture.get(), &into);
  if (!scaler.Scale(SRectWH{0, 0, pw, ph}, SRectWH{(kFilePreviewSize - dw) / 2, (kFilePreviewSize - dh) / 2, dw, dh}))
    return false;
  pictureSize = size;
  return true;
}

void CFilePreview::Clear() {
  available_ = false;
  size_ = SSize{0, 0};
  time_ = std::tm{};
  if (image_.IsValid()) image_.FillAll(0);
}

void CFilePreview::Remake() {
  available_ = false;
  size_ = SSize{0, 0};
  if (image_.IsValid()) image_.FillAll(0);
  if (path_.empty() || IsFolder(path_)) return;
  SSize size{0, 0};
  if (!MakePicture(path_, image_, size)) {
    if (image_.IsValid()) image_.FillAll(0);
    return;
  }
  // The labels give the size whether or not the picture is shown.
  available_ = true;
  size_ = size;
  if (!showPreview_) image_.FillAll(0);
}

void CFilePreview::Select(const std::string& path) {
  path_ = path;
  if (!Exists(path)) {
    Clear();
    return;
  }
  std::tm local{};
  if (!timeReader_(path, local)) {
    // The previous file's picture and labels must not stay beside this one.
    Clear();
    return;
  }
  time_ = local;
  Remake();
}

void CFilePreview::SetShowPreview(bool on) {
  showPreview_ = on;
  if (Exists(path_)) Remake();
  else Clear();
}

std::string CFilePreview::SizeLabel() const {
  if (!available_) return Tx(TextId::PreviewSizeNone);
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, Tx(TextId::PreviewSize), size_.width, size_.height);
  return buffer;
}

std::string CFilePreview::TimeLabel() const {
  if (!available_) return Tx(TextId::PreviewTimeNone);
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, Tx(TextId::PreviewTime), time_.tm_year + 1900, time_.tm_mon + 1,
                time_.tm_mday, time_.tm_hour, time_.tm_min);
  return buffer;
}

}  // namespace tf
