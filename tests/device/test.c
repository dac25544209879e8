// A playback device for the tests, an ALSA ioplug: test:'OPTION,...', e.g.
// test:'rec=out.raw,pace,xrun=4000,hang=drain@2:3000,fail=write:5'. Options:
//   rec=PATH           records every byte written into PATH, less what a drop keeps from playing
//   pace               the pointer follows the clock from the start, and underruns past the written
//                      audio; unpaced, a write plays at once
//   tail=MS            the drain ends MS ms after the last frame played (-EAGAIN until then if non-blocking)
//   xrun=N             one underrun once N frames have played since the open
//   early=N            the delay answers N frames fewer than are queued, below 0 as some cards do
//   stall=N            the pointer stops after N frames: no more room, no more wakes
//   hang=CALL[@K][:MS] CALL sleeps MS ms (a day without), every time or on its K-th call
//   fail=CALL[@K][:E]  CALL fails with -E (EIO without), every time or on its K-th call
// CALL, counted over the process: open hw_params sw_params prepare start write pointer delay drain
// drop close poll revents. hw_params also runs sw_params and prepare, close drop; start runs in the
// write that reaches the threshold, pointer in every write and avail. The library takes a failed
// pointer for an underrun, and ignores what drop and close return.
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <unistd.h>

enum { OPEN, HW_PARAMS, SW_PARAMS, PREPARE, START, WRITE, POINTER, DELAY, DRAIN, DROP, CLOSE, POLL, REVENTS, CALLS };
static const char* const kCalls[CALLS] = {"open",  "hw_params", "sw_params", "prepare", "start", "write",  "pointer",
                                          "delay", "drain",     "drop",      "close",   "poll",  "revents"};
static unsigned counts[CALLS];  // over the process, so that a second open is told from the first

typedef struct {
  snd_pcm_ioplug_t io;
  int rec, pace;
  long long hangMs[CALLS], failErr[CALLS], t0, last, tailMs, early;  // t0: ns at the start (0 stopped), last: at a write
  unsigned hangAt[CALLS], failAt[CALLS];                      // 0: every call
  snd_pcm_uframes_t xrun, stall, done, written, availMin, boundary;  // done: played before the last prepare
} Dev;

static long long Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

static long long FrameTime(Dev* d, long long frames) {
  return d->t0 + (long long)((__int128)frames * 1000000000 / d->io.rate);
}

// Counts a call and sleeps when it hangs there: 0, or the error it fails with.
static int Trap(Dev* d, int call) {
  unsigned n = __atomic_add_fetch(&counts[call], 1, __ATOMIC_SEQ_CST);
  struct timespec t = {d->hangMs[call] / 1000, d->hangMs[call] % 1000 * 1000000};
  if (d->hangMs[call] && (!d->hangAt[call] || d->hangAt[call] == n))
    while (nanosleep(&t, &t) < 0 && errno == EINTR) continue;
  return d->failErr[call] && (!d->failAt[call] || d->failAt[call] == n) ? (int)-d->failErr[call] : 0;
}

// Where the clock alone has the pointer, since the prepare.
static snd_pcm_uframes_t Clock(Dev* d) {
  if (!d->pace) return d->written;
  return d->t0 ? (snd_pcm_uframes_t)((Now() - d->t0) * (__int128)d->io.rate / 1000000000) : 0;
}

// Frames played since the prepare: never past the written ones, nor past a stall.
static snd_pcm_uframes_t Played(Dev* d) {
  snd_pcm_uframes_t p = Clock(d) < d->written ? Clock(d) : d->written;
  return d->stall && d->done + p > d->stall ? d->stall - d->done : p;
}

// When the drain ends, long past or to come; 0 when it never will.
static long long DrainEnd(Dev* d) {
  if (d->stall && d->done + d->written > d->stall) return 0;
  return (d->pace ? FrameTime(d, (long long)d->written) : d->last) + d->tailMs * 1000000 + 1;
}

// Moves the state as a card does by itself: to an underrun, or out of a drain that is over.
static void Update(Dev* d) {
  snd_pcm_uframes_t p = Played(d);
  int forced = d->xrun && d->done + p >= d->xrun, stalled = d->stall && d->done + p >= d->stall;
  if (d->io.state == SND_PCM_STATE_RUNNING && (forced || (d->pace && Clock(d) >= d->written && !stalled))) {
    if (forced) d->xrun = 0;
    snd_pcm_ioplug_set_state(&d->io, SND_PCM_STATE_XRUN);
  }
  if (d->io.state == SND_PCM_STATE_DRAINING && DrainEnd(d) && Now() >= DrainEnd(d))
    snd_pcm_ioplug_set_state(&d->io, SND_PCM_STATE_SETUP);
}

// Sets the descriptor to wake when a period of room is free, an underrun is due or the drain is over.
static void Arm(Dev* d) {
  snd_pcm_state_t s = d->io.state;
  long long at = 1, target = (long long)(d->written + d->availMin - d->io.buffer_size);  // 1: at once
  if (d->xrun && (long long)(d->xrun - d->done) < target) target = (long long)(d->xrun - d->done);
  if (s == SND_PCM_STATE_DRAINING) {
    at = DrainEnd(d);
  } else if ((s == SND_PCM_STATE_PREPARED || s == SND_PCM_STATE_RUNNING) && target > (long long)Played(d)) {
    at = d->pace && d->t0 && (!d->stall || target + d->done <= d->stall) ? FrameTime(d, target) + 1 : 0;
  }
  struct itimerspec it = {{0, 0}, {at / 1000000000, at % 1000000000}};
  timerfd_settime(d->io.poll_fd, TFD_TIMER_ABSTIME, &it, NULL);
}

// The library drops what stop and close return: their failure is told as the file device tells its own.
static int Told(int r) {
  if (r) snd_lib_error(__FILE__, __LINE__, __func__, -r, "test device");
  return r;
}

static int Start(snd_pcm_ioplug_t* io) {
  Dev* d = io->private_data;
  int r = Trap(d, START);
  if (!r) d->t0 = Now();
  return r;
}

static int Stop(snd_pcm_ioplug_t* io) {
  Dev* d = io->private_data;
  snd_pcm_uframes_t played = Played(d);
  // what was written and not yet played is never heard: the recording loses it too
  off_t end = d->rec >= 0 ? lseek(d->rec, 0, SEEK_END) - snd_pcm_frames_to_bytes(io->pcm, d->written - played) : 0;
  if (d->rec >= 0 && ftruncate(d->rec, end) == 0) lseek(d->rec, end, SEEK_SET);
  d->done += played, d->written = d->t0 = 0;
  return Told(Trap(d, DROP));
}

static snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
  Dev* d = io->private_data;
  int r = Trap(d, POINTER);
  Update(d);
  return r ? r : io->state == SND_PCM_STATE_XRUN ? -EPIPE : (snd_pcm_sframes_t)(Played(d) % d->boundary);
}

static snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset,
                                  snd_pcm_uframes_t size) {
  Dev* d = io->private_data;
  const char* at = (const char*)areas->addr + (areas->first + offset * areas->step) / 8;
  ssize_t left = snd_pcm_frames_to_bytes(io->pcm, size), n;
  int r = Trap(d, WRITE);
  for (; !r && d->rec >= 0 && left > 0; at += n, left -= n)
    if ((n = write(d->rec, at, (size_t)left)) < 0) r = -errno;
  if (r) return r;
  d->written += size, d->last = Now();
  Arm(d);
  return (snd_pcm_sframes_t)size;
}

static void Free(Dev* d) {
  if (d->rec >= 0) close(d->rec);
  close(d->io.poll_fd);
  free(d);
}

static int Close(snd_pcm_ioplug_t* io) {
  int r = Told(Trap(io->private_data, CLOSE));
  Free(io->private_data);
  return r;
}

static int HwParams(snd_pcm_ioplug_t* io, snd_pcm_hw_params_t* params) {
  (void)params;
  return Trap(io->private_data, HW_PARAMS);
}

static int SwParams(snd_pcm_ioplug_t* io, snd_pcm_sw_params_t* params) {
  Dev* d = io->private_data;
  snd_pcm_sw_params_get_avail_min(params, &d->availMin);
  snd_pcm_sw_params_get_boundary(params, &d->boundary);
  return Trap(d, SW_PARAMS);
}

static int Prepare(snd_pcm_ioplug_t* io) {
  Dev* d = io->private_data;
  int r = Trap(d, PREPARE);
  if (r) return r;
  d->done += Played(d);
  d->written = 0, d->t0 = 0;
  Arm(d);
  return 0;
}

static int Drain(snd_pcm_ioplug_t* io) {
  Dev* d = io->private_data;
  int r = Trap(d, DRAIN);
  for (; !r && (!DrainEnd(d) || Now() < DrainEnd(d)); usleep(1000))
    if (io->nonblock) return -EAGAIN;
  return r;
}

static int Delay(snd_pcm_ioplug_t* io, snd_pcm_sframes_t* delay) {
  Dev* d = io->private_data;
  int r = Trap(d, DELAY);
  Update(d);
  *delay = (snd_pcm_sframes_t)(d->written - Played(d)) - d->early;
  return r ? r : io->state == SND_PCM_STATE_XRUN ? -EPIPE : 0;
}

static int PollDescriptors(snd_pcm_ioplug_t* io, struct pollfd* fds, unsigned space) {
  Dev* d = io->private_data;
  int r = Trap(d, POLL);
  if (r || !space) return r ? r : -EINVAL;
  Arm(d);
  *fds = (struct pollfd){io->poll_fd, POLLIN, 0};
  return 1;
}

// The timer's wake is room, or an error once the device no longer plays.
static int PollRevents(snd_pcm_ioplug_t* io, struct pollfd* fds, unsigned count, unsigned short* revents) {
  Dev* d = io->private_data;
  int r = Trap(d, REVENTS);
  Update(d);
  snd_pcm_state_t s = io->state;
  int playing = s == SND_PCM_STATE_PREPARED || s == SND_PCM_STATE_RUNNING || s == SND_PCM_STATE_DRAINING;
  *revents = count && fds->revents & POLLIN ? (playing ? POLLOUT : POLLOUT | POLLERR) : 0;
  Arm(d);
  return r;
}

static const snd_pcm_ioplug_callback_t kCallbacks = {
    .start = Start, .stop = Stop, .pointer = Pointer, .transfer = Transfer, .close = Close, .hw_params = HwParams,
    .sw_params = SwParams, .prepare = Prepare, .drain = Drain, .delay = Delay, .poll_descriptors = PollDescriptors,
    .poll_revents = PollRevents};

// Reads one option: 0, or an error.
static int Option(Dev* d, char* word) {
  char* value = strchr(word, '=');
  if (!strcmp(word, "pace")) return d->pace = 1, 0;
  if (!value) return -EINVAL;
  *value++ = 0;
  if (!strcmp(word, "rec"))
    return (d->rec = open(value, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) < 0 ? -errno : 0;
  if (!strcmp(word, "tail")) return d->tailMs = atoll(value), 0;
  if (!strcmp(word, "early")) return d->early = atoll(value), 0;
  if (!strcmp(word, "xrun")) return d->xrun = strtoul(value, NULL, 10), 0;
  if (!strcmp(word, "stall")) return d->stall = strtoul(value, NULL, 10), 0;
  int hang = !strcmp(word, "hang"), c = 0, len = (int)strcspn(value, "@:");
  while (c < CALLS && (strncmp(value, kCalls[c], len) || kCalls[c][len])) c++;
  if (c == CALLS || (!hang && strcmp(word, "fail"))) return -EINVAL;
  char* rest = value + len;
  (hang ? d->hangAt : d->failAt)[c] = *rest == '@' ? (unsigned)strtoul(rest + 1, &rest, 10) : 0;
  (hang ? d->hangMs : d->failErr)[c] = *rest == ':' ? atoll(rest + 1) : hang ? 86400000 : EIO;
  return 0;
}

SND_PCM_PLUGIN_DEFINE_FUNC(test) {
  (void)root;
  snd_config_t* node;
  const char* options = "";
  if (snd_config_search(conf, "options", &node) == 0 && snd_config_get_string(node, &options) < 0) return -EINVAL;
  Dev* d = calloc(1, sizeof *d);
  char *words = strdup(options), *save = NULL;
  if (!d || !words) return free(d), free(words), -ENOMEM;
  d->rec = -1;
  d->io = (snd_pcm_ioplug_t){.version = SND_PCM_IOPLUG_VERSION, .name = "zuvaroza test device",
                             .flags = SND_PCM_IOPLUG_FLAG_BOUNDARY_WA | SND_PCM_IOPLUG_FLAG_MONOTONIC,
                             .poll_fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK),
                             .poll_events = POLLIN, .callback = &kCallbacks, .private_data = d};
  int r = stream == SND_PCM_STREAM_PLAYBACK ? 0 : -EINVAL;
  for (char* w = strtok_r(words, ",", &save); w && !r; w = strtok_r(NULL, ",", &save)) r = Option(d, w);
  free(words);
  if (!r) r = Trap(d, OPEN);
  if (!r) r = snd_pcm_ioplug_create(&d->io, name, stream, mode);
  if (r) return Free(d), r;
  // interleaved, as Transfer reads it; any format, channels and rate
  snd_pcm_ioplug_set_param_list(&d->io, SND_PCM_IOPLUG_HW_ACCESS, 1, (unsigned[]){SND_PCM_ACCESS_RW_INTERLEAVED});
  d->io.nonblock = mode & SND_PCM_NONBLOCK;  // the library leaves it unset, and would block in the drain
  *pcmp = d->io.pcm;
  return 0;
}

SND_PCM_PLUGIN_SYMBOL(test);
