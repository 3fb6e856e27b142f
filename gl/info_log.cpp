#include "gl/info_log.h"

#include <cstring>
#include <vector>

namespace Plugin::gl {

std::string readInfoLog(GLuint object, PFNGLGETSHADERIVPROC getParameter,
                        PFNGLGETSHADERINFOLOGPROC getLog) {
    GLint length = 0;
    getParameter(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<size_t>(length), '\0');
    GLsizei written = 0;
    getLog(object, length, &written, buffer.data());
    if (written <= 0) {
        return {};
    }
    // Some drivers count the terminator or pad the buffer; keep only the text.
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace Plugin::gl
