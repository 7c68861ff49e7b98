// The preview pane of the file dialogs, without its window: the picture, the size and time labels.
#pragma once
// The dialog calls Select with each new selection; the pane then shows a 126 x 126 picture of the
// file (documents, event files, images, PSD), "大きさ: %d × %d" and "更新日: ..." in local time, or
// the bare labels when there is nothing to show. A file whose time cannot be read clears the pane
// (it never keeps the previous file's picture and labels).
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

inline constexpr int32_t kFilePreviewSize = 126;

class CFilePreview {
 public:
  // Reads a file's last-write time as local time; false when it cannot.
  using TimeReader = std::function<bool(const std::string& path, std::tm& local)>;

  CFilePreview();

  // A new selection (a file, a folder or nothing).
  void Select(const std::string& path);
  // The check box: on makes the preview again, off clears it.
  void SetShowPreview(bool on);
  bool ShowPreview() const { return showPreview_; }
  // A preview exists: the labels and the picture are enabled.
  bool Available() const { return available_; }
  const TMTC& Image() const { return image_; }
  // The picture's size as the label shows it (0 x 0 without one).
  SSize PictureSize() const { return size_; }
  std::string SizeLabel() const;
  std::string TimeLabel() const;
  const std::string& Path() const { return path_; }

  // Tests replace the time reader (the default stats the file and uses localtime_r).
  void SetTimeReader(TimeReader reader) { timeReader_ = std::move(reader); }

  // The picture of a file, scaled to fit size x size centred on value 0, with the file's own
  // size; false when the file gives none. Also used by the save dialogs' own previews.
  static bool MakePicture(const std::string& path, TMTC& into, SSize& pictureSize);

 private:
  void Clear();
  void Remake();

  TMTC image_;
  bool showPreview_ = true;
  bool available_ = false;
  SSize size_{0, 0};
  std::tm time_{};
  std::string path_;
  TimeReader timeReader_;
};

}  // namespace tf
