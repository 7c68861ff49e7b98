// Recorded-event files (.te4) and the event chunk of documents, as the document reaches them.
#pragma once
// Recorded-event files (.te4) and the event part of documents, as the document reaches them:
// saving a recording with its thumbnail, loading one into a document's recorder, and the event
// chunk and thumbnail of a native document.
#include <cstdint>
#include <string>

namespace tf {

class Stream;
class TProgressDlg;
class CEventFileDocument;

// Writes a recorded-event file: a thumbnail when asked (scrambled above level 15), then the full
// form (level -1: 43; flag word -1: none) or the raw form. Only while the document records; the
// redo parts are cleared first, the end marker is appended for the file and removed again on
// every path, so the recorder is as it was. The file is replaced only when everything was
// written (a failed save leaves the previous file). True on success.
bool SaveEventFile(const std::string& path, CEventFileDocument& document, bool withThumbnail, int32_t flagWord,
                   int32_t level, bool fullForm);
// Reads an event file into the document's recorder: 4 file missing, 40 no ready recorder,
// 6 cannot open, 3 exception, else ReadEventChunk's code.
uint8_t LoadEventFile(const std::string& path, CEventFileDocument& document);

// The event part of a native document: the full form at level 43 without a flag word; any
// failure cuts the stream back to where it began.
uint8_t WriteEventChunk(Stream& stream, CEventFileDocument& document, TProgressDlg* dialog);
// Reads the event part at the position; on failure the position is restored. 3 on an exception.
uint8_t ReadEventChunkAt(Stream& stream, CEventFileDocument& document, TProgressDlg* dialog);

// The document's thumbnail: the composed picture reduced into 256 x 256 with the canvas's
// aspect (4 x 4 samples a pixel, alpha 255), written as a picture chunk with the canvas size as
// source size, under the guard rule. 1 when the image cannot be made, 3 on an exception or when
// the document has no composed picture.
uint8_t WriteThumbnail(Stream& stream, CEventFileDocument& document, bool scrambled);
// Whether a code of WriteThumbnail means the stream refused its bytes (a full disk, a file-size
// limit), which fails the save, rather than a thumbnail that could not be made (1 or 3), which
// the file does without.
bool ThumbnailWriteFailed(uint8_t code);

}  // namespace tf
