#include "still_writer.h"

#include "image_file.h"
#include "temp_file.h"

namespace ruvovav::media {

StillWriter::StillWriter(std::filesystem::path file, const VideoInfo& source,
                         const SequenceTarget& target, bool replace)
    : file_(std::move(file)), source_(source), target_(target), replace_(replace) {
    TempFile probe(file_);  // an unwritable folder fails here, before any work
}

StillWriter::~StillWriter() {
    if (!closed_) abandon();
}

void StillWriter::write(const Picture& picture) {
    if (closed_) throw MediaError("cannot write to " + quotedPath(file_) + ": it is closed");
    if (written_)
        throw MediaError(quotedPath(file_) + " is a single image and already holds its picture");
    if (picture.width != source_.width || picture.height != source_.height ||
        picture.rgba.size() != size_t(picture.width) * picture.height * 4)
        throw MediaError("picture of size " + std::to_string(picture.width) + "x" +
                         std::to_string(picture.height) + " does not fit " + quotedPath(file_));
    writeImageFile(file_, picture, target_, source_.hasAlpha, replace_);
    written_ = true;
}

void StillWriter::finish() {
    closed_ = true;
}

void StillWriter::abandon() {
    closed_ = true;
    std::error_code ignored;
    if (written_) std::filesystem::remove(file_, ignored);
    written_ = false;
}

}  // namespace ruvovav::media
