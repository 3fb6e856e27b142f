#include "host/stdout_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

namespace kestrel {

StdoutCapture::StdoutCapture() {
    std::cout.flush();
    std::fflush(stdout);
    // A temporary file rather than a pipe: a chatty module cannot block on a full pipe.
    FILE* file = std::tmpfile();
    if (file == nullptr) throw std::runtime_error("StdoutCapture: no temporary file");
    captureFd_ = dup(fileno(file));
    std::fclose(file);
    savedFd_ = dup(STDOUT_FILENO);
    if (captureFd_ < 0 || savedFd_ < 0 || dup2(captureFd_, STDOUT_FILENO) < 0) {
        throw std::runtime_error("StdoutCapture: cannot redirect standard output");
    }
}

StdoutCapture::~StdoutCapture() {
    restore();
}

void StdoutCapture::restore() {
    if (savedFd_ < 0) return;
    std::cout.flush();
    std::fflush(stdout);
    dup2(savedFd_, STDOUT_FILENO);
    close(savedFd_);
    savedFd_ = -1;
}

std::string StdoutCapture::finish() {
    restore();
    std::string text;
    if (captureFd_ < 0) return text;
    lseek(captureFd_, 0, SEEK_SET);
    char buffer[4096];
    for (ssize_t n; (n = read(captureFd_, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(captureFd_);
    captureFd_ = -1;
    return text;
}

}  // namespace kestrel
