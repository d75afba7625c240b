#pragma once

// What the meter's kernel programs and the service share: the records of their tables. Plain C,
// fixed sizes, read by both compilers alike.

#include <linux/types.h>

#define METER_COUNTS_MAX 16384
#define METER_NAMES_MAX 16384
#define METER_COMM_SIZE 16
#define METER_PATH_SIZE 256
#define METER_HOLDS_MAX 1024
// A hold that reaches every user's processes (asked for by root).
#define METER_ANY_USER 0xFFFFFFFFu

enum
{
    METER_RECEIVED = 0,
    METER_SENT = 1
};

struct meter_owner
{
    __u32 tgid;
    __u32 uid;
    __u64 cgroup;
    __u64 netns;
    // The executable the process was running when it made the socket (its file system's device
    // as the kernel numbers it, and its inode), by which a program's traffic is held back.
    __u64 exe_inode;
    __u32 exe_device;
    __u32 pad;
    char comm[METER_COMM_SIZE];
};

// A program held back on an interface: its packets there are refused, both ways.
struct meter_hold
{
    __u64 exe_inode;
    __u32 exe_device;
    __u32 uid; // METER_ANY_USER: every user's
    __u32 ifindex;
    __u32 pad;
};

// A socket made before the meter started has tgid 0: its user and control group tell whose it is.
struct meter_key
{
    __u32 tgid;
    __u32 uid;
    __u64 cgroup;
    __u32 ifindex;
    __u32 direction;
};

// What the wire carried: a segmented packet counts as the segments it became.
struct meter_count
{
    __u64 bytes;
    __u64 packets;
};

struct meter_name
{
    char comm[METER_COMM_SIZE];
    char path[METER_PATH_SIZE];
};
