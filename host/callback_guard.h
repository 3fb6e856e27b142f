// The host's operations are called from C: an exception must not leave them. Each body runs
// under this guard, which turns any exception into the operation's error result and keeps
// its text for the host's owner.
#pragma once

#include <exception>
#include <type_traits>

#include "host/host.h"

namespace kestrel {

struct CallbackGuard {
    template <typename Result, typename Body>
    static Result run(Host& host, Result failure, Body&& body) noexcept {
        try {
            return body();
        } catch (const std::exception& e) {
            host.noteCallbackFailure(e.what());
        } catch (...) {
            host.noteCallbackFailure("an exception of unknown type");
        }
        return failure;
    }

    template <typename Body>
    static void run(Host& host, Body&& body) noexcept {
        run(host, 0, [&] {
            body();
            return 0;
        });
    }
};

}  // namespace kestrel
