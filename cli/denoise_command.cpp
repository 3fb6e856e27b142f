// `ruvovav denoise`: every frame of the range rendered by the effect and encoded.
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/job_setup.h"
#include "cli/media/media_writer.h"
#include "cli/progress.h"

namespace ruvovav::cli {
namespace {

// The input is never overwritten, whatever -y says.
void checkOutputPath(const DenoiseOptions& o) {
    std::error_code error;
    if (std::filesystem::exists(o.output, error) &&
        std::filesystem::equivalent(o.input, o.output, error)) {
        throw UsageError("the output '" + o.output + "' is the input");
    }
    if (!o.overwrite && std::filesystem::exists(o.output, error)) {
        throw UsageError("'" + o.output + "' exists (use -y to overwrite)");
    }
}

FrameRange frameRange(const DenoiseOptions& o, int frameCount) {
    FrameRange range;
    if (!o.range.empty()) range = parseRange("--range", o.range);
    if (range.first >= frameCount) {
        throw UsageError("--range: frame " + std::to_string(range.first) + " is past the clip's " +
                         std::to_string(frameCount) + " frames");
    }
    if (!range.last || *range.last > frameCount) range.last = frameCount;
    return range;
}

media::WriterOptions writerOptions(const DenoiseOptions& o, const FrameRange& range) {
    media::WriterOptions w;
    w.codec = o.codec;
    w.crf = o.crf.value_or(-1);
    w.overwrite = o.overwrite;
    // A chunk's images keep the clip's frame numbers, so chunks land side by side.
    w.startNumber = range.first;
    return w;
}

// Renders [first, last) into the writer; false when interrupted.
bool renderRange(ClipJob& job, const FrameRange& range, media::MediaWriter& writer) {
    const media::VideoInfo& info = job.reader->info();
    Progress progress(std::cerr, *range.last - range.first, isatty(STDERR_FILENO) != 0);
    for (int64_t i = range.first; i < *range.last; ++i) {
        if (interrupted()) break;
        if (!job.cache->setCurrent(int(i))) throw media::MediaError(*job.cache->error());
        const std::vector<float> rgba = job.session->render(int(i));
        if (job.cache->error()) throw media::MediaError(*job.cache->error());
        writer.write(pictureOf(rgba, info.width, info.height));
        progress.update(i + 1 - range.first);
    }
    progress.finish();
    return !interrupted();
}

}  // namespace

int runDenoise(const DenoiseOptions& o) {
    // From the start, so that an early Ctrl-C still ends in a finished output.
    catchInterrupts();
    checkOutputPath(o);
    ClipJob job = startClipJob(o.common, o.input, o.analysis, o.settings);
    const FrameRange range = frameRange(o, job.frameCount);
    const std::vector<PressedBox> boxes = analyseClip(job, o.analysis, std::cout);
    saveProfileIfAsked(job, o.analysis, o.input, boxes, o.overwrite);
    media::VideoInfo written = job.reader->info();
    written.frameCount = *range.last - range.first;
    std::unique_ptr<media::MediaWriter> writer =
        media::MediaWriter::create(o.output, written, writerOptions(o, range));
    std::cout << "renderer: " << job.session->renderer() << "\n" << std::flush;
    const bool complete = renderRange(job, range, *writer);
    writer->finish();
    if (!complete) {
        std::cerr << "ruvovav: interrupted; '" << o.output << "' holds the frames done\n";
        return kExitInterrupted;
    }
    return 0;
}

}  // namespace ruvovav::cli
