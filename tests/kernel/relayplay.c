/* Runs inside the test machine and plays a relay board, printing what it
 * was told:
 *
 *   relayplay hid NAME ID [fail]   a HID relay board through /dev/uhid, named
 *                                  NAME ("www.dcttech.com USBRelay2"); with
 *                                  "fail", it refuses every set-report
 *   relayplay usb NAME ID          the same board as a USB device in a port
 *                                  of dummy_hcd, through a FunctionFS
 *                                  function, so that usbhid binds it and
 *                                  udev sees a bought board; it is the
 *                                  gadget /sys/kernel/config/usb_gadget/ID,
 *                                  unplugged by writing "" to its UDC file
 *   relayplay cp2112 [SERIAL]      a CP2112 USB-to-GPIO bridge, the same way
 *                                  (gadget "cp2112", or "cp2112-SERIAL" with
 *                                  that serial number), for hid-cp2112
 *   relayplay serial LINK          a serial relay module on a pseudo-terminal,
 *                                  whose device LINK is made to point at it
 *
 * It prints "ID relays 10" (relay 1 on, relay 2 off) after each report it
 * takes, or "ID refused relay N"; "serial a0 01 01 a2" for each frame; and
 * "cp2112 lines 1......." when the bridge's lines change. */

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <linux/usb/functionfs.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
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

/* The board: its ID, how many relays it has, which are on, and whether it
 * refuses what it is told. */
static struct {
    const char* id;
    int relays;
    unsigned char state;
    int fail;
} board;

static void board_plays(const char* name, const char* id, int fail)
{
    board.id = id;
    board.relays = name[strlen(name) - 1] - '0';
    board.fail = fail;
}

/* Its 8-byte feature report: the ID, then the relays' state in the last byte. */
static void board_report(unsigned char* report)
{
    fprintf(stderr, "%s ID read\n", board.id);
    memset(report, 0, 8);
    memcpy(report, board.id, strlen(board.id) < 5 ? strlen(board.id) : 5);
    report[7] = board.state;
}

/* Takes a set-report (0xFF relay: on, 0xFD relay: off); false if refused. */
static int board_take(const unsigned char* report)
{
    int relay = report[1];
    if (board.fail) {
        printf("%s refused relay %d\n", board.id, relay);
    } else if (report[0] == 0xFF || report[0] == 0xFD) {
        if (relay >= 1 && relay <= 8) {
            unsigned char bit = (unsigned char)(1 << (relay - 1));
            board.state = report[0] == 0xFF ? board.state | bit : board.state & ~bit;
        }
        printf("%s relays ", board.id);
        for (int k = 1; k <= board.relays; ++k)
            putchar(board.state >> (k - 1) & 1 ? '1' : '0');
        putchar('\n');
    }
    fflush(stdout);
    return !board.fail;
}

static _Noreturn void hid(const char* name, const char* id, int fail)
{
    int fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        die("open /dev/uhid");
    board_plays(name, id, fail);

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
            struct uhid_event reply = {.type = UHID_GET_REPORT_REPLY};
            reply.u.get_report_reply.id = event.u.get_report.id;
            reply.u.get_report_reply.size = 9; /* report number 0, then the report */
            board_report(reply.u.get_report_reply.data + 1);
            send(fd, &reply);
        } else if (event.type == UHID_SET_REPORT) {
            struct uhid_event reply = {.type = UHID_SET_REPORT_REPLY};
            reply.u.set_report_reply.id = event.u.set_report.id;
            /* report number 0 first */
            reply.u.set_report_reply.err = board_take(event.u.set_report.data + 1) ? 0 : EIO;
            send(fd, &reply);
        }
    }
}

static void put(const char* folder, const char* file, const char* value)
{
    char path[256];
    snprintf(path, sizeof path, "%s/%s", folder, file);
    int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0 || write(fd, value, strlen(value)) != (ssize_t)strlen(value))
        die(path);
    close(fd);
}

static void make(const char* folder)
{
    if (mkdir(folder, 0755) != 0 && errno != EEXIST)
        die(folder);
}

/* The interface as a HID device describes it: one interrupt-in endpoint
 * (usbhid wants one), at full and at high speed. */
struct __attribute__((packed)) interface {
    struct usb_interface_descriptor interface;
    uint8_t hid[9]; /* the HID descriptor: one report descriptor */
    struct usb_endpoint_descriptor_no_audio in;
};

static struct interface describe(unsigned char interval, uint8_t descriptor_size)
{
    struct interface d = {
        .interface = {.bLength = USB_DT_INTERFACE_SIZE, .bDescriptorType = USB_DT_INTERFACE,
                      .bNumEndpoints = 1, .bInterfaceClass = USB_CLASS_HID},
        .hid = {9, 0x21, 0x11, 0x01, 0, 1, 0x22, descriptor_size, 0},
        .in = {.bLength = USB_DT_ENDPOINT_SIZE, .bDescriptorType = USB_DT_ENDPOINT,
               .bEndpointAddress = 1 | USB_DIR_IN, .bmAttributes = USB_ENDPOINT_XFER_INT,
               .wMaxPacketSize = 8, .bInterval = interval},
    };
    return d;
}

/* Plugs the gadget into the first of dummy_hcd's ports that is free. */
static void plug(const char* gadget)
{
    char state[128];
    FILE* udcs = popen("ls /sys/class/udc", "r");
    char udc[64];
    while (udcs && fscanf(udcs, "%63s", udc) == 1) {
        snprintf(state, sizeof state, "/sys/class/udc/%s/state", udc);
        FILE* file = fopen(state, "r");
        char now[32] = "";
        if (file && fgets(now, sizeof now, file) && strncmp(now, "not attached", 12) == 0) {
            fclose(file);
            pclose(udcs);
            put(gadget, "UDC", udc);
            return;
        }
        if (file)
            fclose(file);
    }
    errno = ENODEV;
    die("a free port of dummy_hcd");
}

/* A USB HID device: who it says it is, its report descriptor, and its
 * feature reports. get fills a report (report number first where the
 * device numbers them) and returns its length; set takes one. */
struct device {
    const char *id, *vendor, *product, *manufacturer, *name, *serial;
    const unsigned char* descriptor;
    size_t descriptor_size;
    size_t (*get)(unsigned char number, unsigned char* report);
    void (*set)(const unsigned char* report, size_t size);
};

static _Noreturn void usb(const struct device* device)
{
    const char* id = device->id;

    mount("none", "/sys/kernel/config", "configfs", 0, NULL);
    char gadget[128], folder[192], ffs[64];
    snprintf(gadget, sizeof gadget, "/sys/kernel/config/usb_gadget/%s", id);
    make(gadget);
    put(gadget, "idVendor", device->vendor);
    put(gadget, "idProduct", device->product);
    snprintf(folder, sizeof folder, "%s/strings", gadget), make(folder);
    snprintf(folder, sizeof folder, "%s/strings/0x409", gadget), make(folder);
    put(folder, "manufacturer", device->manufacturer);
    put(folder, "product", device->name);
    if (device->serial)
        put(folder, "serialnumber", device->serial);
    snprintf(folder, sizeof folder, "%s/configs/c.1", gadget), make(folder);
    snprintf(folder, sizeof folder, "%s/functions/ffs.%s", gadget, id), make(folder);
    char link[256];
    snprintf(link, sizeof link, "%s/configs/c.1/ffs.%s", gadget, id);
    if (symlink(folder, link) != 0 && errno != EEXIST)
        die(link);
    snprintf(ffs, sizeof ffs, "/tmp/ffs-%s", id), make(ffs);
    if (mount(id, ffs, "functionfs", 0, NULL) != 0)
        die("mount functionfs");
    snprintf(folder, sizeof folder, "%s/ep0", ffs);
    int ep0 = open(folder, O_RDWR | O_CLOEXEC);
    if (ep0 < 0)
        die(folder);

    struct __attribute__((packed)) {
        struct usb_functionfs_descs_head_v2 head;
        uint32_t fs_count, hs_count;
        struct interface fs, hs;
    } descriptors = {
        .head = {.magic = FUNCTIONFS_DESCRIPTORS_MAGIC_V2, .length = sizeof descriptors,
                 .flags = FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC},
        .fs_count = 3, .hs_count = 3, .fs = describe(10, (uint8_t)device->descriptor_size),
        .hs = describe(7, (uint8_t)device->descriptor_size),
    };
    struct usb_functionfs_strings_head strings = {
        .magic = FUNCTIONFS_STRINGS_MAGIC, .length = sizeof strings};
    if (write(ep0, &descriptors, sizeof descriptors) != sizeof descriptors)
        die("write the descriptors");
    if (write(ep0, &strings, sizeof strings) != sizeof strings)
        die("write the strings");
    plug(gadget);

    for (;;) {
        struct usb_functionfs_event event;
        if (read(ep0, &event, sizeof event) != sizeof event)
            die("read ep0");
        if (event.type != FUNCTIONFS_SETUP)
            continue;
        const struct usb_ctrlrequest* setup = &event.u.setup;
        unsigned char data[256] = {0};
        size_t length = setup->wLength < sizeof data ? setup->wLength : sizeof data;
        int in = setup->bRequestType & USB_DIR_IN;
        ssize_t done = -1;
        if (setup->bRequestType == (USB_DIR_IN | USB_RECIP_INTERFACE) && setup->bRequest == USB_REQ_GET_DESCRIPTOR &&
            setup->wValue >> 8 == 0x22) {
            size_t size = device->descriptor_size;
            done = write(ep0, device->descriptor, length < size ? length : size);
        } else if (setup->bRequestType == (USB_DIR_IN | USB_TYPE_CLASS | USB_RECIP_INTERFACE) &&
                   setup->bRequest == 0x01 /* GET_REPORT */) {
            size_t size = device->get(setup->wValue & 0xFF, data);
            done = write(ep0, data, length < size ? length : size);
        } else if (setup->bRequestType == (USB_TYPE_CLASS | USB_RECIP_INTERFACE) &&
                   setup->bRequest == 0x09 /* SET_REPORT */) {
            done = read(ep0, data, length);
            if (done == (ssize_t)length)
                device->set(data, length);
        } else if (setup->bRequestType == (USB_TYPE_CLASS | USB_RECIP_INTERFACE) &&
                   setup->bRequest == 0x0A /* SET_IDLE */) {
            done = read(ep0, data, 0);
        } else {
            /* Anything else stalls: a read answers an IN request so, a write
             * an OUT one. */
            done = in ? read(ep0, data, 0) : write(ep0, data, 0);
            continue;
        }
        if (done < 0)
            fprintf(stderr, "%s: request %02x %02x: %s\n", id, setup->bRequestType, setup->bRequest, strerror(errno));
    }
}

/* The relay board over USB: its reports have no number. */
static size_t board_get(unsigned char number, unsigned char* report)
{
    (void)number;
    board_report(report);
    return 8;
}

static void board_set(const unsigned char* report, size_t size)
{
    if (size >= 2)
        board_take(report);
}

/* A Silicon Labs CP2112 USB-to-SMBus bridge, as far as hid-cp2112 asks it
 * at its start and for its 8 GPIO lines: the GPIO configuration (report
 * 0x02: direction, push-pull, special functions, clock divider), the lines'
 * latch (0x03 to read, 0x04 with a mask to set), its version (0x05), its
 * SMBus configuration (0x06) and its lock byte (0x20). */
static const unsigned char cp2112_descriptor[] = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, /* vendor collection */
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, /* bytes */
    0x85, 0x02, 0x95, 0x04, 0x09, 0x01, 0xB1, 0x02, /* feature 0x02: 4 bytes */
    0x85, 0x03, 0x95, 0x01, 0x09, 0x01, 0xB1, 0x02, /* feature 0x03: 1 byte */
    0x85, 0x04, 0x95, 0x02, 0x09, 0x01, 0xB1, 0x02, /* feature 0x04: 2 bytes */
    0x85, 0x05, 0x95, 0x02, 0x09, 0x01, 0xB1, 0x02, /* feature 0x05: 2 bytes */
    0x85, 0x06, 0x95, 0x0D, 0x09, 0x01, 0xB1, 0x02, /* feature 0x06: 13 bytes */
    0xC0,
};

static struct {
    unsigned char config[4]; /* direction (1: output), push-pull, special, divider */
    unsigned char latch;
    unsigned char smbus[13];
} cp2112 = {.config = {0x00, 0x00, 0x00, 0x00}, .smbus = {0x00, 0x01, 0x86, 0xA0, 0x02}};

/* "cp2112 lines 1.......": line 0 first, each an output's level or '.' for
 * an input. */
static void cp2112_says(void)
{
    printf("cp2112 lines ");
    for (int line = 0; line < 8; ++line)
        putchar(cp2112.config[0] >> line & 1 ? (cp2112.latch >> line & 1 ? '1' : '0') : '.');
    putchar('\n');
    fflush(stdout);
}

static size_t cp2112_get(unsigned char number, unsigned char* report)
{
    report[0] = number;
    switch (number) {
    case 0x02: memcpy(report + 1, cp2112.config, 4); return 5;
    case 0x03: report[1] = cp2112.latch; return 2;
    case 0x05: report[1] = 0x0C, report[2] = 0x03; return 3; /* part number, version */
    case 0x06: memcpy(report + 1, cp2112.smbus, 13); return 14;
    case 0x20: report[1] = 0xFF; return 2; /* lock byte: nothing locked */
    }
    return 1;
}

static void cp2112_set(const unsigned char* report, size_t size)
{
    if (report[0] == 0x02 && size >= 5) {
        memcpy(cp2112.config, report + 1, 4);
        cp2112_says();
    } else if (report[0] == 0x04 && size >= 3) {
        cp2112.latch = (unsigned char)((cp2112.latch & ~report[2]) | (report[1] & report[2]));
        cp2112_says();
    } else if (report[0] == 0x06 && size >= 14) {
        memcpy(cp2112.smbus, report + 1, 13);
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
    if (argc == 4 && strcmp(argv[1], "usb") == 0) {
        const char* space = strchr(argv[2], ' ');
        char manufacturer[64];
        snprintf(manufacturer, sizeof manufacturer, "%.*s", space ? (int)(space - argv[2]) : 0, argv[2]);
        board_plays(argv[2], argv[3], 0);
        struct device board = {argv[3], "0x16c0", "0x05df", manufacturer, space ? space + 1 : argv[2], NULL,
                               descriptor, sizeof descriptor, board_get, board_set};
        usb(&board);
    }
    if ((argc == 2 || argc == 3) && strcmp(argv[1], "cp2112") == 0) {
        char id[64] = "cp2112";
        if (argc == 3)
            snprintf(id, sizeof id, "cp2112-%s", argv[2]);
        struct device bridge = {id, "0x10c4", "0xea90", "Silicon Labs", "CP2112 HID USB-to-SMBus Bridge",
                                argc == 3 ? argv[2] : NULL, cp2112_descriptor, sizeof cp2112_descriptor, cp2112_get, cp2112_set};
        usb(&bridge);
    }
    if (argc == 3 && strcmp(argv[1], "serial") == 0)
        serial(argv[2]);
    fprintf(stderr, "usage: relayplay hid NAME ID [fail] | relayplay usb NAME ID | relayplay cp2112 [SERIAL] | relayplay serial LINK\n");
    return 2;
}
