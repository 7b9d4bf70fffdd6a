// An answer in arbitrary pieces must read exactly as the same answer in one piece, within the bounds.
// The first byte chooses HEAD (its top bit) and how many piece sizes follow (its low bits); the
// piece sizes repeat over the rest, which is the answer.
#include "net/HttpResponseParser.h"

#include <cstdlib>

namespace {
const HttpResponseParser::Limits limits{1024, 16, 4096};

HttpResponseParser read(QByteArrayView answer, bool bodiless, QByteArrayView pieceSizes)
{
    HttpResponseParser parser(limits, bodiless);
    for (qsizetype at = 0, piece = 0; at < answer.size(); ++piece) {
        const qsizetype size =
            pieceSizes.isEmpty() ? answer.size() : 1 + uchar(pieceSizes[piece % pieceSizes.size()]);
        parser.feed(answer.sliced(at, qMin(size, answer.size() - at)));
        at += size;
    }
    parser.endOfInput();
    return parser;
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    if (input.isEmpty())
        return 0;
    const bool bodiless = uchar(input[0]) & 0x80;
    const qsizetype sizes = qMin<qsizetype>(input[0] & 0x07, input.size() - 1);
    const QByteArrayView answer = input.sliced(1 + sizes);
    const HttpResponseParser whole = read(answer, bodiless, {});
    const HttpResponseParser pieces = read(answer, bodiless, input.sliced(1, sizes));

    require(whole.isDone() && pieces.state() == whole.state() && pieces.error() == whole.error());
    require(pieces.statusCode() == whole.statusCode() && pieces.headers() == whole.headers());
    require(pieces.body() == whole.body() && pieces.length() == whole.length());
    require(whole.body().size() <= limits.bodyBytes &&
            (whole.oversized() || whole.length() == whole.body().size()));
    require(whole.error() == HttpResponseParser::Error::None || !whole.errorString().isEmpty());
    return 0;
}
