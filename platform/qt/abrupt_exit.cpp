#include "platform/qt/abrupt_exit.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace hovermark::qt {
namespace {

std::function<void()>& PutBack() {
    static std::function<void()> put_back;
    return put_back;
}

}  // namespace

void PutBackBeforeAbruptExit(std::function<void()> put_back) {
    PutBack() = std::move(put_back);
}

void ExitAbruptly(int code) {
    std::function<void()> put_back = std::exchange(PutBack(), nullptr);
    if (put_back) {
        put_back();
    }
    std::fflush(nullptr);
    std::_Exit(code);
}

}  // namespace hovermark::qt
