/* The least a WHOIS client can do in C: names from stdin, 25 non-blocking connections at a time
 * under epoll, each sending the name and reading until the server closes. Prints names answered
 * and seconds. A yardstick for what this machine allows, not a client. */
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

enum { InFlight = 25 };
static char **names;
static size_t count, next;
static struct sockaddr_in server;
static int ep;
struct slot { int fd; size_t name; int sent; };
static struct slot slots[InFlight];

static double now(void) { struct timespec t; clock_gettime(CLOCK_MONOTONIC, &t); return t.tv_sec + t.tv_nsec / 1e9; }

static int start(struct slot *s) {
    if (next >= count) return 0;
    s->name = next++;
    s->sent = 0;
    s->fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (s->fd < 0 || (connect(s->fd, (struct sockaddr *)&server, sizeof server) < 0 && errno != EINPROGRESS)) { perror("connect"); exit(1); }
    struct epoll_event e = { .events = EPOLLOUT | EPOLLIN, .data.ptr = s };
    epoll_ctl(ep, EPOLL_CTL_ADD, s->fd, &e);
    return 1;
}

int main(int argc, char **argv) {
    if (argc != 3) { fprintf(stderr, "usage: %s HOST PORT < names\n", argv[0]); return 2; }
    server.sin_family = AF_INET;
    server.sin_port = htons(atoi(argv[2]));
    inet_pton(AF_INET, argv[1], &server.sin_addr);
    size_t cap = 1024; names = malloc(cap * sizeof *names);
    char line[512];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        if (!*line) continue;
        if (count == cap) names = realloc(names, (cap *= 2) * sizeof *names);
        names[count++] = strdup(line);
    }
    ep = epoll_create1(0);
    double begin = now();
    int open = 0;
    for (int i = 0; i < InFlight; ++i) open += start(&slots[i]);
    size_t done = 0;
    char buf[65536];
    struct epoll_event events[InFlight];
    while (open > 0) {
        int n = epoll_wait(ep, events, InFlight, -1);
        for (int i = 0; i < n; ++i) {
            struct slot *s = events[i].data.ptr;
            if (!s->sent && (events[i].events & EPOLLOUT)) {
                char q[520]; int len = snprintf(q, sizeof q, "%s\r\n", names[s->name]);
                if (write(s->fd, q, len) != len) { perror("write"); exit(1); }
                s->sent = 1;
                struct epoll_event e = { .events = EPOLLIN, .data.ptr = s };
                epoll_ctl(ep, EPOLL_CTL_MOD, s->fd, &e);
                continue;
            }
            ssize_t got;
            while ((got = read(s->fd, buf, sizeof buf)) > 0) {}
            if (got == 0 || (got < 0 && errno != EAGAIN)) {
                close(s->fd);
                ++done; --open;
                open += start(s);
            }
        }
    }
    printf("%zu %.3f\n", done, now() - begin);
    return 0;
}
