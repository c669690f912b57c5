// StripTags on arbitrary text: it must end, leave no "<...>" pair behind and agree with the
// plain round-by-round removal its contract describes.
#include "module1.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The contract, one round at a time: quadratic, but fuzz inputs are small.
QString stripByRounds(QString text) {
    for (;;) {
        const qsizetype open = text.indexOf(u'<');
        const qsizetype close = open < 0 ? -1 : text.indexOf(u'>', open + 1);
        if (close < 0)
            return text;
        text.remove(open, close - open + 1);
    }
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_striptags: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString text = input;
    Module1::StripTags(text);

    const qsizetype open = text.indexOf(u'<');
    if (open >= 0 && text.indexOf(u'>', open + 1) >= 0)
        fail("a '<' with a '>' after it is left");
    if (text.size() > input.size())
        fail("the result is longer than the input");
    if (text != stripByRounds(input))
        fail("the result differs from removing one tag per round");
    return 0;
}
