#include "audio/device.h"

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "io/unique_fd.h"

// A call asked for, in the order asked.
struct Request {
  Call call;
  uint64_t count;  // a Write's frames
  uint64_t seq;
  int buffer;      // a Write's
  bool wake;       // its answer wakes the caller, even with more writes to come
};

// Shared by the caller and the thread; an abandoned thread keeps it alive.
struct Line {
  std::mutex mutex;
  std::condition_variable posted;
  std::deque<Request> asked;      // under the mutex; kWrites writes at most
  std::deque<Answer> answers;     // under the mutex
  uint64_t seq = 0;               // of the last call asked for
  DeviceRequest request;
  UniqueFd answerFd{eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
  UniqueFd cancelFd{eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
  std::atomic<uint64_t> cancelled{0};
  std::atomic<int64_t> progress{0};      // when the device last took audio
  std::vector<unsigned char> frames[kWrites];  // the writes' frames, sized by Open
  Pcm pcm;                               // the thread's alone
};

namespace {

// Deadlines of the calls: an open may have to start a sound server's client;
// a write is late only once the device stops taking audio, which the thread
// tells itself (kLostMs; a moment more for a call stuck in the library), and
// a drain once the last audio taken has had its buffer's time to play.
constexpr int64_t kOpenMs = 4000;
constexpr int64_t kCallMs = 2000;
constexpr int64_t kGraceMs = 500;
// What a Write may take at most: this many bytes of periods.
constexpr size_t kWriteBytes = 1 << 18;
// Periods shorter than this are answered two at a time: the caller wakes half as often.
constexpr int64_t kShortPeriodMs = 200;

bool abandonedAny = false;

void Signal(int fd) {
  const uint64_t one = 1;
  const ssize_t ignored = write(fd, &one, sizeof one);
  (void)ignored;  // an eventfd fails only when full, which wakes its reader all the same
}

Answer Run(Line* l, const Request& q) {
  Pcm* pcm = &l->pcm;
  const Cancel cancel{l->cancelFd.Get(), &l->cancelled, q.seq};
  Answer a;
  a.call = q.call;
  switch (q.call) {
    case Call::Open:
      if (!OpenPcm(l->request, pcm, &a.why)) {
        a.result = -1;
      } else {
        const Granted& g = pcm->granted;
        for (auto& frames : l->frames)
          frames.resize(std::max<size_t>(kWriteBytes / g.frameBytes / g.periodFrames, 1) * g.periodFrames *
                        g.frameBytes);
      }
      break;
    case Call::Prepare: a.result = PreparePcm(pcm); break;
    case Call::Write:
      a.result = WritePcm(pcm, l->frames[q.buffer].data(), q.count, cancel, &a.waited, &l->progress);
      break;
    case Call::Room: a.result = RoomPcm(pcm, q.count, cancel); break;
    case Call::Queued: a.result = QueuedPcm(pcm); break;
    case Call::Drain: a.result = DrainPcm(pcm, cancel); break;
    case Call::Drop: a.result = DropPcm(pcm); break;
    case Call::Close: a.result = pcm->handle ? ClosePcm(pcm) : 0; break;
    case Call::None: break;
  }
  return a;
}

// The thread: one call at a time, in the order asked, each answered through
// the descriptor, until the device is closed. A write asked for while another
// runs is taken at once after it: the thread need not sleep between them.
void Serve(std::shared_ptr<Line> line) {
  Line* l = line.get();
  for (Call call = Call::None; call != Call::Close;) {
    Request q;
    {
      std::unique_lock<std::mutex> lock(l->mutex);
      l->posted.wait(lock, [l] { return !l->asked.empty(); });
      q = l->asked.front();
      l->asked.pop_front();
    }
    Answer answer = Run(l, q);
    call = q.call;
    bool wake;
    {
      std::lock_guard<std::mutex> lock(l->mutex);
      l->answers.push_back(std::move(answer));
      wake = q.wake || l->asked.empty();
    }
    if (wake) Signal(l->answerFd.Get());
  }
}

void Post(Device* d, Call call, uint64_t count) {
  Line* l = d->line.get();
  {
    std::lock_guard<std::mutex> lock(l->mutex);
    // a short period's writes wake the caller every other one
    const Granted& g = d->granted;
    const bool shortPeriods = g.rate && static_cast<int64_t>(g.periodFrames * 1000 / g.rate) < kShortPeriodMs;
    l->asked.push_back({call, count, ++l->seq, d->next, call != Call::Write || !shortPeriods || d->next % 2 == 1});
  }
  l->posted.notify_one();
  if (d->inHand++ == 0) d->started = NowMs();
  d->busy = call;
  if (call == Call::Write) {
    d->next = (d->next + 1) % kWrites;
    if (d->inHand == 1) l->progress.store(d->started);
  }
}

}  // namespace

uint64_t WriteCapacity(const Device& d) { return d.line->frames[0].size() / d.granted.frameBytes; }

unsigned char* WriteBuffer(Device* d) { return d->line->frames[d->next].data(); }

bool CanAsk(const Device& d, Call call) {
  return d.line && (d.inHand == 0 || (call == Call::Write && d.busy == Call::Write && d.inHand < kWrites));
}

void OpenDevice(Device* d, const DeviceRequest& request) {
  Abandon(d);  // a device opened again was lost
  d->line = std::make_shared<Line>();
  d->line->request = request;
  d->busy = Call::None;
  d->inHand = 0;
  d->next = 0;
  d->lost = false;
  // the thread takes no signal: they are the loop's, and would cut its waits short
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  d->thread = std::thread(Serve, d->line);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  Post(d, Call::Open, 0);
}

void Ask(Device* d, Call call, uint64_t frames) { Post(d, call, frames); }

int AnswerFd(const Device& d) { return d.busy == Call::None ? -1 : d.line->answerFd.Get(); }

Deadline Due(const Device& d) {
  switch (d.busy) {
    case Call::None: return kNever;
    case Call::Open: return d.started + kOpenMs;
    case Call::Room:
    case Call::Write: return std::max(d.line->progress.load(), d.started) + kLostMs + kGraceMs;
    case Call::Drain: {
      // the last audio it took plays out within its buffer's time
      const Granted& g = d.granted;
      const int64_t buffer = static_cast<int64_t>(g.bufferFrames * 1000 / std::max(g.rate, 1u));
      return std::max(d.line->progress.load() + buffer + kLostMs, d.started + kCallMs);
    }
    default: return d.started + kCallMs;
  }
}

bool TakeAnswer(Device* d, Answer* a) {
  if (d->inHand == 0) return false;
  Line* l = d->line.get();
  uint64_t count;  // the descriptor only wakes the loop: the answers are counted below
  const ssize_t ignored = read(l->answerFd.Get(), &count, sizeof count);
  (void)ignored;
  {
    std::lock_guard<std::mutex> lock(l->mutex);
    if (l->answers.empty()) return false;
    *a = std::move(l->answers.front());
    l->answers.pop_front();
  }
  if (a->call == Call::Open && a->result >= 0) d->granted = l->pcm.granted;
  if (--d->inHand == 0) d->busy = Call::None;
  if (a->call == Call::Close) {
    d->thread.join();
    d->line.reset();
  }
  return true;
}

void CancelCall(Device* d) {
  if (d->busy == Call::None) return;
  Line* l = d->line.get();
  l->cancelled.store(l->seq);
  Signal(l->cancelFd.Get());
}

void Continued(Device* d) {
  if (d->line) d->line->progress.store(NowMs());
  d->started = NowMs();
}

void Abandon(Device* d) {
  if (!d->line) return;
  CancelCall(d);
  d->thread.detach();
  d->line.reset();
  d->busy = Call::None;
  d->inHand = 0;
  d->lost = abandonedAny = true;
}

bool AnyAbandoned() { return abandonedAny; }
