// The yardstick for bench/hidraw-cpu.sh, in two roles:
//   bare_hid_reader read FIFO                 the least a program can do per report: a blocking read, a timestamp
//                                             and the decoding of x, y and z; prints its report count on SIGTERM
//   bare_hid_reader feed SECONDS RATE FIFO... writes RATE reports a second to every FIFO for SECONDS, then closes
// Reports are 64 bytes, the sensor's buffer size, so that a FIFO never joins two of them in one read.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { kReportSize = 64 };

static volatile sig_atomic_t stopping = 0;
static void onTerm(int signal) {
    (void)signal;
    stopping = 1;
}

static double axis(const uint8_t* bytes) {
    uint32_t raw = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
    return (double)(int32_t)raw / 65536.0;
}

static void putAxis(uint8_t* bytes, double g) {
    uint32_t raw = (uint32_t)(int32_t)(g * 65536.0);
    for (int i = 0; i < 4; ++i)
        bytes[i] = (uint8_t)(raw >> (8 * i));
}

static int readReports(const char* fifo) {
    // Our own writer keeps the read end from reaching end-of-file between feeders, as the program does.
    int fd = open(fifo, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int keepAlive = fd < 0 ? -1 : open(fifo, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || keepAlive < 0 || fcntl(fd, F_SETFL, 0) != 0) {
        fprintf(stderr, "bare_hid_reader: %s: %s\n", fifo, strerror(errno));
        return 1;
    }
    struct sigaction action = {0};
    action.sa_handler = onTerm; // no SA_RESTART: the blocking read returns EINTR
    sigaction(SIGTERM, &action, NULL);
    printf("ready\n");
    fflush(stdout);
    uint8_t report[kReportSize];
    long count = 0;
    volatile double sink = 0;
    while (!stopping) {
        ssize_t n = read(fd, report, sizeof report);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (n >= 18) sink = sink + axis(report + 6) + axis(report + 10) + axis(report + 14) + (double)now.tv_nsec;
        ++count;
    }
    printf("%ld\n", count);
    return 0;
}

static int feed(double seconds, double rate, int fifoCount, char** fifos) {
    int fds[16];
    if (fifoCount > 16) fifoCount = 16;
    for (int i = 0; i < fifoCount; ++i) {
        fds[i] = open(fifos[i], O_WRONLY | O_CLOEXEC);
        if (fds[i] < 0) {
            fprintf(stderr, "bare_hid_reader: %s: %s\n", fifos[i], strerror(errno));
            return 1;
        }
    }
    long total = (long)(seconds * rate);
    long period = (long)(1e9 / rate);
    struct timespec due;
    clock_gettime(CLOCK_MONOTONIC, &due);
    uint8_t report[kReportSize] = {0};
    for (long i = 0; i < total; ++i) {
        due.tv_nsec += period;
        while (due.tv_nsec >= 1000000000L) {
            due.tv_nsec -= 1000000000L;
            due.tv_sec += 1;
        }
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, NULL) == EINTR) {
        }
        report[0] = (uint8_t)i;
        putAxis(report + 6, 0.001 * (double)(i % 7));
        putAxis(report + 10, -0.001 * (double)(i % 5));
        putAxis(report + 14, -1.0 + 0.001 * (double)(i % 3));
        for (int f = 0; f < fifoCount; ++f)
            if (write(fds[f], report, sizeof report) != (ssize_t)sizeof report) {
                fprintf(stderr, "bare_hid_reader: write: %s\n", strerror(errno));
                return 1;
            }
    }
    for (int f = 0; f < fifoCount; ++f)
        close(fds[f]);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "read") == 0) return readReports(argv[2]);
    if (argc >= 5 && strcmp(argv[1], "feed") == 0) return feed(atof(argv[2]), atof(argv[3]), argc - 4, argv + 4);
    fprintf(stderr, "usage: bare_hid_reader read FIFO | feed SECONDS RATE FIFO...\n");
    return 2;
}
