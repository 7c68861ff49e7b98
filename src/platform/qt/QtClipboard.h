// The system clipboard through QClipboard and QMimeData, as a ClipboardService.
#pragma once
#include <QMimeData>
#include <QObject>

#include <map>

#include "platform/ClipboardFormats.h"

namespace tf {

// Our formats on the clipboard: concrete bytes, and delayed ones made in retrieveData when a
// reader (this program or another) asks.
class DelayedMimeData final : public QMimeData {
 public:
  void AddDelayed(const QString& format, ClipboardRenderer renderer);
  // Makes every delayed format's bytes now.
  void RenderAll();
  bool hasFormat(const QString& format) const override;
  // Delayed, or concrete bytes that are not empty (without making a delayed format's bytes).
  bool HasBytes(const QString& format) const;
  QStringList formats() const override;

 protected:
  QVariant retrieveData(const QString& format, QMetaType type) const override;

 private:
  mutable std::map<QString, ClipboardRenderer> delayed_;
};

class QtClipboardService final : public QObject, public ClipboardService {
 public:
  QtClipboardService();
  bool HasFormat(const std::string& format) override;
  bool Empty(bool force) override;
  bool SetData(const std::string& format, std::vector<uint8_t> bytes) override;
  bool SetDelayed(const std::string& format, ClipboardRenderer renderer) override;
  bool Read(const std::string& format, const ClipboardReader& reader) override;
  // Ours from our own setMimeData until the clipboard holds another's data (QClipboard's own
  // ownsClipboard() is not to be trusted on every platform).
  bool Owns() override;
  void RenderAll() override;

 private:
  DelayedMimeData* Target();
  DelayedMimeData* current_ = nullptr;  // owned by QClipboard once set
};

// Installs (or removes) the Qt clipboard as the clipboard service; delayed formats are made at
// the application's end so that they outlive the program where a clipboard manager keeps them.
void InstallQtClipboard(bool install);

}  // namespace tf
