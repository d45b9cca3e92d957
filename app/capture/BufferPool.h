#pragma once

#include <cassert>
#include <cstddef>
#include <deque>
#include <vector>

// A fixed set of buffers passed from a thread that fills them to threads that
// empty them, in the order they were filled: the bookkeeping a bounded queue
// of frames needs, and only that. Each buffer is, at any time, idle (free to
// fill), held by the filler, queued (filled, waiting), or held by an emptier,
// and comes back to idle when given back; so no more than size() buffers ever
// exist, whatever the work's length.
//
// The pool has no lock of its own: its owner calls it under the mutex it
// keeps with the rest of its state, and waits on its own condition variable
// for hasIdle() or hasQueued(). A buffer's contents are the holder's alone,
// used without the lock between taking and queueing or giving it back; the
// buffers themselves never move once the pool is made.
template <typename Buffer>
class BufferPool {
public:
    BufferPool() = default;
    // `count` buffers, each a copy of `blank`, all idle.
    BufferPool(std::size_t count, const Buffer& blank) : buffers(count, blank) {
        for (std::size_t i = 0; i < count; ++i)
            idle.push_back(i);
    }

    std::size_t size() const { return buffers.size(); }
    // The buffer of an index takeIdle() or takeQueued() returned.
    Buffer& operator[](std::size_t index) { return buffers[index]; }

    bool hasIdle() const { return !idle.empty(); }
    // An idle buffer's index, now the filler's; there must be one.
    std::size_t takeIdle() {
        assert(hasIdle());
        const std::size_t index = idle.front();
        idle.pop_front();
        return index;
    }
    // A filled buffer, to be taken after every one queued before it.
    void queue(std::size_t index) { queued.push_back(index); }

    bool hasQueued() const { return !queued.empty(); }
    // The oldest queued buffer's index, now an emptier's; there must be one.
    std::size_t takeQueued() {
        assert(hasQueued());
        const std::size_t index = queued.front();
        queued.pop_front();
        ++emptying;
        return index;
    }
    // A buffer an emptier took, done with: idle again.
    void giveBack(std::size_t index) {
        assert(emptying > 0);
        --emptying;
        idle.push_back(index);
    }
    // Buffers taken from the queue and not given back yet.
    std::size_t inHand() const { return emptying; }

private:
    std::vector<Buffer> buffers;
    std::deque<std::size_t> idle;    // indices free to fill, the longest idle first
    std::deque<std::size_t> queued;  // indices filled, oldest first, not yet taken
    std::size_t emptying = 0;        // indices takeQueued() handed out, not given back
};
