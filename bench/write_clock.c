/* LD_PRELOAD shim for the bench: logs when each snd_pcm_writei is made and the
   first four bytes it sends, so that the bench can tell when a new file's
   sound first reaches the device. The log is the file named by
   WRITE_CLOCK_LOG: one line per call, "seconds byte0 byte1 byte2 byte3". */
#define _GNU_SOURCE
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

snd_pcm_sframes_t snd_pcm_writei(snd_pcm_t *pcm, const void *buffer, snd_pcm_uframes_t size) {
  static snd_pcm_sframes_t (*real)(snd_pcm_t *, const void *, snd_pcm_uframes_t);
  static FILE *log;
  if (!real) real = (snd_pcm_sframes_t (*)(snd_pcm_t *, const void *, snd_pcm_uframes_t))dlsym(RTLD_NEXT, "snd_pcm_writei");
  if (!log && getenv("WRITE_CLOCK_LOG")) log = fopen(getenv("WRITE_CLOCK_LOG"), "w");
  snd_pcm_sframes_t n = real(pcm, buffer, size);
  if (log && n > 0) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    const unsigned char *b = buffer;
    fprintf(log, "%ld.%09ld %u %u %u %u\n", (long)t.tv_sec, t.tv_nsec, b[0], b[1], b[2], b[3]);
    fflush(log);
  }
  return n;
}
