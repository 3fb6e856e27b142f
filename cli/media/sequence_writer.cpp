#include "sequence_writer.h"

#include "image_file.h"

#include "temp_file.h"

namespace ruvovav::media {

SequenceWriter::SequenceWriter(FramePattern pattern, const VideoInfo& source,
                               const SequenceTarget& target, int64_t startNumber, bool replace)
    : pattern_(std::move(pattern)),
      source_(source),
      target_(target),
      nextNumber_(startNumber),
      replace_(replace) {
    // Sequences usually get a folder of their own; making it saves the user a step.
    if (!pattern_.folder.empty() && !std::filesystem::exists(pattern_.folder)) {
        std::error_code error;
        std::filesystem::create_directories(pattern_.folder, error);
        if (error)
            throw MediaError("cannot create folder " + quotedPath(pattern_.folder) + ": " +
                             error.message());
        createdFolder_ = true;
    }
    try {
        TempFile probe(pattern_.fileFor(nextNumber_));  // an unwritable folder fails here
    } catch (const MediaError&) {
        abandon();
        throw;
    }
}

SequenceWriter::~SequenceWriter() {
    if (!closed_) abandon();
}

void SequenceWriter::write(const Picture& picture) {
    if (closed_) throw MediaError("cannot write to a finished image sequence");
    if (picture.width != source_.width || picture.height != source_.height ||
        picture.rgba.size() != size_t(picture.width) * picture.height * 4)
        throw MediaError("picture of size " + std::to_string(picture.width) + "x" +
                         std::to_string(picture.height) + " does not fit the image sequence");
    const std::filesystem::path file = pattern_.fileFor(nextNumber_);
    writeImageFile(file, picture, target_, source_.hasAlpha, replace_);
    written_.push_back(file);
    ++nextNumber_;
}

void SequenceWriter::finish() {
    closed_ = true;
}

void SequenceWriter::abandon() {
    closed_ = true;
    std::error_code ignored;
    for (const auto& file : written_) std::filesystem::remove(file, ignored);
    written_.clear();
    if (createdFolder_) std::filesystem::remove(pattern_.folder, ignored);  // only if empty
}

}  // namespace ruvovav::media
