/* Runs inside the test machine: calls IO.DLL as the program does (loaded by
 * name, bound by name), and looks at the port from outside it as a second
 * ppdev client would. Each argument word is a step, done in order in one
 * process, so that IO.DLL keeps its state between the steps:
 *
 *   as UID GID[,GID...]   drop to that user and those groups
 *   check                 IsDriverInstalled
 *   out PORT VALUE        PortOut
 *   word PORT VALUE       PortWordOut
 *   read DEVICE           the data register, through a client of our own
 *   poke DEVICE VALUE     write the data register, through a client of our own
 *   inb PORT              read a register directly (root only)
 *   hold DEVICE           claim the port and keep it, in the background
 *   excl DEVICE           register exclusively and keep the port open, in the background
 *   cat FILE              print a file's first line
 *
 * Every result is one line on stdout; IO.DLL's own lines go to stderr. */

#define _GNU_SOURCE
#include "iodll/IO.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/ppdev.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/io.h>
#include <sys/ioctl.h>
#include <unistd.h>

static void *library;

static void die(const char *what, const char *detail)
{
    printf("probe error: %s %s: %s\n", what, detail, strerror(errno));
    exit(1);
}

static void *bind(const char *name)
{
    if (!library && !(library = dlopen("IO.DLL", RTLD_NOW))) {
        printf("probe error: %s\n", dlerror());
        exit(1);
    }
    void *function = dlsym(library, name);
    if (!function) {
        printf("probe error: %s\n", dlerror());
        exit(1);
    }
    return function;
}

static long number(const char *text)
{
    return strtol(text, NULL, 0);
}

static int client(const char *device)
{
    int fd = open(device, O_RDWR);
    if (fd < 0)
        die("open", device);
    return fd;
}

static void claim(int fd, const char *device)
{
    if (ioctl(fd, PPCLAIM) != 0)
        die("claim", device);
}

/* Keeps `fd` open in a child of init's, so that the next step runs while the
 * port stays held. */
static void keep(int fd)
{
    if (fork() == 0) {
        for (;;)
            pause();
    }
    close(fd);
}

int main(int argc, char **argv)
{
    setvbuf(stdout, NULL, _IOLBF, 0);
    for (int i = 1; i < argc; ++i) {
        const char *step = argv[i];
        if (!strcmp(step, "as")) {
            gid_t groups[8];
            int count = 0;
            uid_t uid = number(argv[++i]);
            for (char *gid = strtok(argv[++i], ","); gid && count < 8; gid = strtok(NULL, ","))
                groups[count++] = number(gid);
            if (setgroups(count, groups) || setgid(groups[0]) || setuid(uid))
                die("as", argv[i]);
        } else if (!strcmp(step, "check")) {
            __typeof__(&IsDriverInstalled) isDriverInstalled = bind("IsDriverInstalled");
            printf("check %d\n", isDriverInstalled());
        } else if (!strcmp(step, "out")) {
            __typeof__(&PortOut) portOut = bind("PortOut");
            portOut(number(argv[i + 1]), number(argv[i + 2]));
            i += 2;
        } else if (!strcmp(step, "word")) {
            __typeof__(&PortWordOut) portWordOut = bind("PortWordOut");
            portWordOut(number(argv[i + 1]), number(argv[i + 2]));
            i += 2;
        } else if (!strcmp(step, "read") || !strcmp(step, "poke")) {
            const char *device = argv[++i];
            int fd = client(device);
            unsigned char data = step[0] == 'p' ? number(argv[++i]) : 0;
            claim(fd, device);
            if (ioctl(fd, step[0] == 'p' ? PPWDATA : PPRDATA, &data) != 0)
                die(step, device);
            ioctl(fd, PPRELEASE);
            close(fd);
            if (step[0] == 'r')
                printf("%s data 0x%02x\n", device, data);
        } else if (!strcmp(step, "inb")) {
            /* A claim by a second client would restore that client's own
             * control bits first, so the register is read directly. */
            unsigned port = number(argv[++i]);
            if (ioperm(port, 1, 1) != 0)
                die("ioperm", argv[i]);
            printf("inb 0x%x 0x%02x\n", port, inb(port));
        } else if (!strcmp(step, "hold") || !strcmp(step, "excl")) {
            const char *device = argv[++i];
            int fd = client(device);
            if (step[0] == 'e' && ioctl(fd, PPEXCL) != 0)
                die("exclusive", device);
            claim(fd, device);
            if (step[0] == 'e')
                ioctl(fd, PPRELEASE);
            keep(fd);
        } else if (!strcmp(step, "cat")) {
            char line[128] = "";
            FILE *file = fopen(argv[++i], "r");
            if (!file || !fgets(line, sizeof line, file))
                die("read", argv[i]);
            printf("%s: %s", argv[i], line);
            fclose(file);
        } else {
            printf("probe error: unknown step '%s'\n", step);
            return 2;
        }
    }
    return 0;
}
