/* Runs inside the test machine and plays a relay board, printing what it
 * was told:
 *
 *   relayplay hid NAME ID [fail]   a HID relay board through /dev/uhid, named
 *                                  NAME ("www.dcttech.com USBRelay2"); with
 *                                  "fail", it refuses every set-report
 *   relayplay serial LINK          a serial relay module on a pseudo-terminal,
 *                                  whose device LINK is made to point at it
 *
 * It prints "ID relays 10" (relay 1 on, relay 2 off) after each report it
 * takes, or "ID refused relay N"; and "serial a0 01 01 a2" for each frame. */

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static _Noreturn void die(const char* what)
{
    printf("relayplay error: %s: %s\n", what, strerror(errno));
    exit(1);
}

static void send(int fd, struct uhid_event* event)
{
    if (write(fd, event, sizeof *event) != sizeof *event)
        die("write /dev/uhid");
}

/* One vendor collection with an 8-byte feature report, no report ID. */
static const unsigned char descriptor[22] = {
    0x06, 0x00, 0xFF, /* usage page (vendor 0xFF00) */
    0x09, 0x01,       /* usage 1 */
    0xA1, 0x01,       /* collection (application) */
    0x15, 0x00,       /* logical minimum 0 */
    0x26, 0xFF, 0x00, /* logical maximum 255 */
    0x75, 0x08,       /* report size 8 */
    0x95, 0x08,       /* report count 8 */
    0x09, 0x00,       /* usage 0 */
    0xB2, 0x02, 0x01, /* feature (data, variable, absolute, buffered bytes) */
    0xC0,             /* end collection */
};

static _Noreturn void hid(const char* name, const char* id, int fail)
{
    int fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        die("open /dev/uhid");
    int relays = name[strlen(name) - 1] - '0';
    unsigned char state = 0;

    struct uhid_event event = {.type = UHID_CREATE2};
    snprintf((char*)event.u.create2.name, sizeof event.u.create2.name, "%s", name);
    event.u.create2.rd_size = sizeof descriptor;
    event.u.create2.bus = 0x03; /* USB */
    event.u.create2.vendor = 0x16c0;
    event.u.create2.product = 0x05df;
    memcpy(event.u.create2.rd_data, descriptor, sizeof descriptor);
    send(fd, &event);

    for (;;) {
        if (read(fd, &event, sizeof event) <= 0)
            die("read /dev/uhid");
        /* How often the board is looked at, on stderr: the first of its
         * users opening it, the last closing it, and its ID read. */
        if (event.type == UHID_OPEN || event.type == UHID_CLOSE)
            fprintf(stderr, "%s %s\n", id, event.type == UHID_OPEN ? "opened" : "closed");
        if (event.type == UHID_GET_REPORT) {
            fprintf(stderr, "%s ID read\n", id);
            struct uhid_event reply = {.type = UHID_GET_REPORT_REPLY};
            reply.u.get_report_reply.id = event.u.get_report.id;
            reply.u.get_report_reply.size = 9; /* report number 0, then the report */
            memcpy(reply.u.get_report_reply.data + 1, id, strlen(id) < 5 ? strlen(id) : 5);
            reply.u.get_report_reply.data[8] = state;
            send(fd, &reply);
        } else if (event.type == UHID_SET_REPORT) {
            const unsigned char* data = event.u.set_report.data; /* report number 0 first */
            int relay = data[2];
            if (fail) {
                printf("%s refused relay %d\n", id, relay);
            } else if (data[1] == 0xFF || data[1] == 0xFD) {
                if (relay >= 1 && relay <= 8)
                    state = data[1] == 0xFF ? state | 1 << (relay - 1) : state & ~(1 << (relay - 1));
                printf("%s relays ", id);
                for (int k = 1; k <= relays; ++k)
                    putchar(state >> (k - 1) & 1 ? '1' : '0');
                putchar('\n');
            }
            fflush(stdout);
            struct uhid_event reply = {.type = UHID_SET_REPORT_REPLY};
            reply.u.set_report_reply.id = event.u.set_report.id;
            reply.u.set_report_reply.err = fail ? EIO : 0;
            send(fd, &reply);
        }
    }
}

static _Noreturn void serial(const char* link)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        die("open a pseudo-terminal");
    unlink(link);
    if (symlink(ptsname(master), link) != 0)
        die("link the pseudo-terminal");
    /* Held open, so that the line stays up between the library's runs. */
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0)
        die("open the pseudo-terminal");
    unsigned char frame[4];
    size_t have = 0;
    for (;;) {
        ssize_t got = read(master, frame + have, sizeof frame - have);
        if (got <= 0)
            die("read the pseudo-terminal");
        have += (size_t)got;
        if (have == sizeof frame) {
            printf("serial %02x %02x %02x %02x\n", frame[0], frame[1], frame[2], frame[3]);
            fflush(stdout);
            have = 0;
        }
    }
}

int main(int argc, char** argv)
{
    setvbuf(stdout, NULL, _IOLBF, 0);
    if (argc >= 4 && strcmp(argv[1], "hid") == 0)
        hid(argv[2], argv[3], argc > 4 && strcmp(argv[4], "fail") == 0);
    if (argc == 3 && strcmp(argv[1], "serial") == 0)
        serial(argv[2]);
    fprintf(stderr, "usage: relayplay hid NAME ID [fail] | relayplay serial LINK\n");
    return 2;
}
