#include "core/encoding/gb18030_page.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "core/encoding/page_converter.h"
#include "core/encoding/two_byte_characters.h"
#include "core/files/page_memory.h"
#include "core/two_halves/two_halves.h"

namespace {

// The whole input in one pass, into fresh memory. No character takes more than twice its bytes in
// UTF-8 (a two-byte code three, a four-byte code four), so twice the input always suffices.
// Pages of it that are never written cost address space only. With room given, the result keeps
// room for that many bytes, for more to be put behind it.
Result<QByteArray> decodeGb18030AtOnce(QByteArrayView gb, qsizetype room = 0) {
    PageConverter toUtf8("UTF-8", "GB18030");
    // Making the table takes a call of the converter for each two-byte code: worth it only for a
    // page far larger than that.
    constexpr qsizetype kTableFrom = qsizetype{64} << 10;
    if (gb.size() >= kTableFrom) toUtf8.lookUpIn(TwoByteCharacters::gb18030());
    QByteArray utf8(std::max(room, 2 * gb.size() + 16), Qt::Uninitialized);
    const Result<Done> converted = toUtf8.convert(gb, utf8);
    if (const auto *error = std::get_if<FileError>(&converted)) return *error;
    if (room == 0) utf8.squeeze();
    return utf8;
}

// Puts tail behind the text of whole, which was made with room for it.
void putBehind(QByteArray &whole, QByteArrayView tail) {
    const qsizetype length = whole.size();
    whole.resize(length + tail.size());
    std::memcpy(whole.data() + length, tail.data(), std::size_t(tail.size()));
}

// A GB18030 page decoded in the buffer it was read into, which its trim left with room behind its
// bytes, so that the UTF-8 text needs no fresh memory, whose every page the system would clear
// first: on a big page that clearing costs more than the decoding itself. The page is cut into
// stretches, each ending before a byte below 0x30, which no character contains, and decoded from
// its last stretch back to its first by two threads at once: each decodes a stretch into a buffer
// of its own that stays in the cache, and puts the result in front of the results behind it once
// those are in place, ending at the buffer's end. A result may stand only over bytes already
// decoded; where it would reach further, the rest is decoded into fresh memory after all.
class DecodeInPlace {
public:
    // The page's size bytes at page, in a buffer of capacity bytes.
    DecodeInPlace(char *page, qsizetype size, qsizetype capacity)
        : page_(page), placed_(page + capacity) {
        // A stretch starts at the first byte below 0x30 from its place on, looked for no further
        // than the next place: where there is none, it starts where the one before it does, and
        // that one grows.
        const char *const end = page + size;
        starts_.push_back(page);
        for (const char *place = page + kStretch; place < end; place += kStretch) {
            const char *const from = std::max(place, starts_.back());
            const char *const to = end - from > kStretch ? from + kStretch : end;
            const char *const start =
                std::find_if(from, to, [](char c) { return static_cast<unsigned char>(c) < 0x30; });
            starts_.push_back(start < to ? start : starts_.back());
        }
        starts_.push_back(end);
        next_ = stretches() - 1;
        done_ = stretches();
    }

    // Decodes stretches until none is left or one finds no room; each thread runs this once.
    void work() {
        // Made before any stretch is taken, so that a failure leaves no turn unserved.
        PageConverter toUtf8("UTF-8", "GB18030");
        toUtf8.lookUpIn(TwoByteCharacters::gb18030());
        // A stretch reaches a little past its place, to the next byte below 0x30; one that reaches
        // as far again is left to be decoded elsewhere.
        QByteArray own(4 * kStretch + 64, Qt::Uninitialized);
        for (qsizetype index; !stopped_ && (index = next_--) >= 0;) {
            const char *const from = boundary(index);
            const qsizetype length = boundary(index + 1) - from;
            // A stretch whose next byte below 0x30 lies far behind its place.
            bool failed = 2 * length + 64 > own.capacity();
            if (!failed) {
                own.resize(own.capacity());
                failed = ::failed(toUtf8.convert(QByteArrayView(from, length), own));
            }
            waitForTurn(index);
            if (stopped_) break;  // the stretches behind this one found no room
            if (!failed && placed_ - own.size() >= from) {
                placed_ -= own.size();
                std::memcpy(placed_, own.constData(), std::size_t(own.size()));
                done_.store(index, std::memory_order_release);
            } else {
                stopped_ = true;
            }
        }
    }

    // Once every thread is done: the page's bytes before the stretches in place, still to be
    // decoded, and where their results start.
    QByteArrayView rest() const {
        return {page_, boundary(done_.load(std::memory_order_acquire)) - page_};
    }
    char *placed() const { return placed_; }

private:
    static constexpr qsizetype kStretch = qsizetype{512} << 10;

    qsizetype stretches() const { return qsizetype(starts_.size()) - 1; }
    // Where stretch index starts; stretch stretches() is the page's end.
    const char *boundary(qsizetype index) const { return starts_[std::size_t(index)]; }

    // The stretches behind index are put in place by the other thread, which takes a fraction of
    // a millisecond: sleeping and being woken would take longer than that.
    void waitForTurn(qsizetype index) const {
        while (!stopped_ && done_.load(std::memory_order_acquire) != index + 1)
            std::this_thread::yield();
    }

    char *const page_;
    std::vector<const char *> starts_;  // of the stretches, and the page's end
    // Written only by the thread whose turn it is: where the results in place start.
    char *placed_;
    std::atomic<qsizetype> next_ = 0;  // the stretch to take next, counting down
    std::atomic<qsizetype> done_ = 0;  // the first stretch whose result is in place
    std::atomic<bool> stopped_ = false;
};

}  // namespace

Result<QByteArray> decodeGb18030Page(QByteArray page) {
    // A small page's text takes little fresh memory, and decoding in place would cost it more in
    // converters and buffers of its own than it saves.
    if (page.size() < kTwoCoresFrom || !page.isDetached()) return decodeGb18030AtOnce(page);
    const qsizetype size = page.size();
    const qsizetype capacity = page.capacity();
    page.resize(capacity);  // within its room: the results are put up to its end
    DecodeInPlace decode(page.data(), size, capacity);
    // Done one after the other, the second finds nothing left to do.
    const auto work = [&decode] { decode.work(); };
    inTwoHalves(size, work, work);
    const qsizetype placed = decode.placed() - page.constData();
    const QByteArrayView rest = decode.rest();
    if (rest.isEmpty()) {
        // The front of the buffer is free now: its pages go back to the system.
        releasePages(page.data(), placed);
        page.remove(0, placed);
        return page;
    }
    auto head = decodeGb18030AtOnce(rest, 2 * rest.size() + 16 + (capacity - placed));
    if (const auto *error = std::get_if<FileError>(&head)) return *error;
    QByteArray &whole = std::get<QByteArray>(head);
    putBehind(whole, QByteArrayView(page).sliced(placed));
    whole.squeeze();
    return std::move(whole);
}
