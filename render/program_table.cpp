#include "render/program_table.h"

#include "denoise/wavelet_filters.h"
#include "denoise/wavelet_programs.h"
#include "shaders/colour_programs.h"
#include "shaders/flow_displacement_program.h"
#include "shaders/noise_removal_program.h"
#include "shaders/pyramid_programs.h"
#include "shaders/standard_programs.h"
#include "shaders/view_programs.h"

namespace Plugin {
namespace {

enum class RowKind {
    Standard,      // the standard vertex program and a fragment program
    SharedCopy,    // as Standard, made only when the registry has none yet
    PositionOnly,  // no texture coordinate
    WaveletPair,   // the wavelet's analysis and synthesis programs, generated
};

struct ProgramRow {
    const char* name;
    RowKind kind;
    std::string (*fragment)() = nullptr;
    const Wavelet* wavelet = nullptr;
};

constexpr ProgramRow kProgramRows[] = {
    {"opticalFlowDisplacement", RowKind::Standard,
     [] { return std::string(shaders::kOpticalFlowDisplacementFragment); }},
    {"AnalysisBox", RowKind::Standard, [] { return std::string(shaders::kAnalysisBoxFragment); }},
    {"viewFrequency", RowKind::Standard,
     [] { return std::string(shaders::kViewFrequencyFragment); }},
    {"RGBToYUV", RowKind::Standard, shaders::rgbToYuvFragment},
    {"YUVToRGB", RowKind::Standard, shaders::yuvToRgbFragment},
    {"ImageFrequencyDecomposition", RowKind::Standard, shaders::frequencyDecompositionFragment},
    {"bicubicCopy", RowKind::Standard, shaders::bicubicCopyFragment},
    {"glCopy", RowKind::SharedCopy, [] { return std::string(shaders::kCopyFragment); }},
    {"copyPaddedImage", RowKind::Standard,
     [] { return std::string(shaders::kCopyPaddedFragment); }},
    {"singleColor", RowKind::PositionOnly,
     [] { return std::string(shaders::kSingleColourFragment); }},
    {"noiseRemoval", RowKind::Standard, [] { return std::string(shaders::kNoiseRemovalFragment); }},
    {"haar", RowKind::WaveletPair, nullptr, &kWavelets[0]},
    {"daubechies4", RowKind::WaveletPair, nullptr, &kWavelets[1]},
    {"daubechies8", RowKind::WaveletPair, nullptr, &kWavelets[2]},
    {"daubechies16", RowKind::WaveletPair, nullptr, &kWavelets[3]},
    {"symlet16", RowKind::WaveletPair, nullptr, &kWavelets[4]},
};

ProgramSource standard(const char* name, std::string fragment, bool onlyWhenAbsent = false) {
    return {name, VertexStage::Standard, shaders::kStandardVertex, std::move(fragment),
            onlyWhenAbsent};
}

// Both programs of a wavelet share one filter pair, made once.
void appendWaveletPair(std::vector<ProgramSource>& table, const Wavelet& wavelet) {
    const WaveletFilter filter = wavelet.makeFilter();
    table.push_back(standard(wavelet.names.decomposition, buildDecompositionProgram(filter)));
    table.push_back(standard(wavelet.names.reconstruction, buildReconstructionProgram(filter)));
}

void appendRow(std::vector<ProgramSource>& table, const ProgramRow& row) {
    switch (row.kind) {
        case RowKind::Standard:
            table.push_back(standard(row.name, row.fragment()));
            break;
        case RowKind::SharedCopy:
            table.push_back(standard(row.name, row.fragment(), true));
            break;
        case RowKind::PositionOnly:
            table.push_back({row.name, VertexStage::PositionOnly, shaders::kPositionOnlyVertex,
                             row.fragment(), false});
            break;
        case RowKind::WaveletPair:
            appendWaveletPair(table, *row.wavelet);
            break;
    }
}

}  // namespace

std::vector<ProgramSource> programTable() {
    std::vector<ProgramSource> table;
    for (const ProgramRow& row : kProgramRows) appendRow(table, row);
    return table;
}

}  // namespace Plugin
