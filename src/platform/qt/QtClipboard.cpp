#include "platform/qt/QtClipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>

#include <new>

namespace tf {

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

void DelayedMimeData::AddDelayed(const QString& format, ClipboardRenderer renderer) {
  delayed_[format] = std::move(renderer);
}

void DelayedMimeData::RenderAll() {
  for (const QString& format : QStringList(formats()))
    if (delayed_.count(format)) (void)data(format);
}

bool DelayedMimeData::hasFormat(const QString& format) const {
  return delayed_.count(format) > 0 || QMimeData::hasFormat(format);
}

bool DelayedMimeData::HasBytes(const QString& format) const {
  return delayed_.count(format) > 0 || !QMimeData::data(format).isEmpty();
}

QStringList DelayedMimeData::formats() const {
  QStringList list = QMimeData::formats();
  for (const auto& [format, renderer] : delayed_)
    if (!list.contains(format)) list.append(format);
  return list;
}

QVariant DelayedMimeData::retrieveData(const QString& format, QMetaType type) const {
  auto it = delayed_.find(format);
  if (it != delayed_.end()) {
    ClipboardRenderer renderer = std::move(it->second);
    delayed_.erase(it);
    std::vector<uint8_t> bytes;
    try {
      bytes = renderer();
    } catch (const std::bad_alloc&) {
      bytes.clear();
    }
    const_cast<DelayedMimeData*>(this)->setData(
        format, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
  }
  return QMimeData::retrieveData(format, type);
}

QtClipboardService::QtClipboardService() {
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
    if (current_ && QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard) != current_) current_ = nullptr;
  });
}

bool QtClipboardService::Owns() {
  return current_ && QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard) == current_;
}

DelayedMimeData* QtClipboardService::Target() {
  if (Owns()) return current_;
  DelayedMimeData* data = new DelayedMimeData();
  current_ = data;
  QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
  return current_;
}

bool QtClipboardService::HasFormat(const std::string& format) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (!data || !data->hasFormat(Q(format))) return false;
  if (data == current_) return current_->HasBytes(Q(format));
  return !data->data(Q(format)).isEmpty();
}

bool QtClipboardService::Empty(bool force) {
  if (!force && Owns()) return false;
  current_ = nullptr;
  Target();
  return true;
}

bool QtClipboardService::SetData(const std::string& format, std::vector<uint8_t> bytes) {
  if (format.empty()) return false;
  Target()->setData(Q(format),
                    QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
  return true;
}

bool QtClipboardService::SetDelayed(const std::string& format, ClipboardRenderer renderer) {
  if (format.empty() || !renderer) return false;
  Target()->AddDelayed(Q(format), std::move(renderer));
  return true;
}

bool QtClipboardService::Read(const std::string& format, const ClipboardReader& reader) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (!data || !data->hasFormat(Q(format))) return false;
  const QByteArray bytes = data->data(Q(format));
  if (bytes.isEmpty()) return false;
  return reader(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
}

void QtClipboardService::RenderAll() {
  if (Owns()) current_->RenderAll();
}

void InstallQtClipboard(bool install) {
  static QtClipboardService* service = nullptr;
  if (install && !service) {
    service = new QtClipboardService();
    SetClipboardService(service);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, service,
                     [] { GetClipboardService().RenderAll(); });
  } else if (!install && service) {
    SetClipboardService(nullptr);
    delete service;
    service = nullptr;
  }
}

}  // namespace tf
