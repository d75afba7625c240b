// The meter's kernel programs: who owns each socket, and the bytes each owner's sockets carry
// on each interface, both ways. They only look, except for the programs a caller asked to hold
// back on an interface: their packets there are refused (and not counted); every other packet
// goes on as it came.

#include <linux/bpf.h>
#include <linux/if_ether.h>
#include <linux/in.h>

#include <bpf/bpf_core_read.h>
#include <bpf/bpf_endian.h>
#include <bpf/bpf_helpers.h>

#include "meter/bpf/MeterTypes.h"

char LICENSE[] SEC("license") = "Dual BSD/GPL";

// The network namespace counted (its cookie), set before loading.
const volatile __u64 counted_netns = 0;

// Each socket's owner, from its creation; a socket accepted from a listener gets the listener's.
struct {
    __uint(type, BPF_MAP_TYPE_SK_STORAGE);
    __uint(map_flags, BPF_F_NO_PREALLOC | BPF_F_CLONE);
    __type(key, int);
    __type(value, struct meter_owner);
} owners SEC(".maps");

// The bytes and packets of each owner on each interface and direction, per CPU.
struct {
    __uint(type, BPF_MAP_TYPE_PERCPU_HASH);
    __uint(max_entries, METER_COUNTS_MAX);
    __type(key, struct meter_key);
    __type(value, struct meter_count);
} counts SEC(".maps");

// The programs held back, by executable, user and interface (the value is unused).
struct {
    __uint(type, BPF_MAP_TYPE_HASH);
    __uint(max_entries, METER_HOLDS_MAX);
    __type(key, struct meter_hold);
    __type(value, __u8);
} holds SEC(".maps");

// How many holds there are (of any user, of every user): while none, a packet costs no lookup.
volatile __u32 holding = 0;
volatile __u32 holding_any_user = 0;

// The kernel's records the socket hook reads to know the executable, found by name in the
// kernel's own type information when the programs are loaded.
struct super_block {
    __u32 s_dev;
} __attribute__((preserve_access_index));
struct inode {
    unsigned long i_ino;
    struct super_block* i_sb;
} __attribute__((preserve_access_index));
struct file {
    struct inode* f_inode;
} __attribute__((preserve_access_index));
struct mm_struct {
    struct file* exe_file;
} __attribute__((preserve_access_index));
struct task_struct {
    struct mm_struct* mm;
} __attribute__((preserve_access_index));

// What each process ran, as it started it: a process gone in a millisecond still has a name.
struct {
    __uint(type, BPF_MAP_TYPE_LRU_HASH);
    __uint(max_entries, METER_NAMES_MAX);
    __type(key, __u32);
    __type(value, struct meter_name);
} names SEC(".maps");

SEC("cgroup/sock_create")
int meter_sock_create(struct bpf_sock* sk)
{
    struct meter_owner* owner = bpf_sk_storage_get(&owners, sk, 0, BPF_SK_STORAGE_GET_F_CREATE);
    if (owner) {
        owner->tgid = bpf_get_current_pid_tgid() >> 32;
        owner->uid = (__u32)bpf_get_current_uid_gid();
        owner->cgroup = bpf_get_current_cgroup_id();
        owner->netns = bpf_get_netns_cookie(sk);
        bpf_get_current_comm(owner->comm, sizeof owner->comm);
        struct task_struct* task = (struct task_struct*)bpf_get_current_task();
        struct inode* executable = BPF_CORE_READ(task, mm, exe_file, f_inode);
        owner->exe_inode = BPF_CORE_READ(executable, i_ino);
        owner->exe_device = BPF_CORE_READ(executable, i_sb, s_dev);
        // A process started before the meter has no name yet: its command name stands for it.
        struct meter_name name = {};
        __builtin_memcpy(name.comm, owner->comm, sizeof name.comm);
        bpf_map_update_elem(&names, &owner->tgid, &name, BPF_NOEXIST);
    }
    return 1;
}

// The bytes of the IP and transport headers each segment of a segmented packet repeats.
static __always_inline __u32 header_length(struct __sk_buff* skb)
{
    __u8 first = 0;
    __u32 ip = 0;
    __u8 protocol = 0;
    if (skb->protocol == bpf_htons(ETH_P_IP)) {
        if (bpf_skb_load_bytes(skb, 0, &first, 1) < 0 || bpf_skb_load_bytes(skb, 9, &protocol, 1) < 0)
            return 0;
        ip = (first & 0x0F) * 4;
    } else if (skb->protocol == bpf_htons(ETH_P_IPV6)) {
        if (bpf_skb_load_bytes(skb, 6, &protocol, 1) < 0)
            return 0;
        ip = 40;
    } else {
        return 0;
    }
    if (protocol == IPPROTO_UDP)
        return ip + 8;
    if (protocol != IPPROTO_TCP)
        return ip;
    __u8 offset = 0;
    if (bpf_skb_load_bytes(skb, ip + 12, &offset, 1) < 0)
        return ip;
    return ip + (offset >> 4) * 4;
}

// Whether the owner's program is held back on this interface.
static __always_inline int held(const struct meter_owner* owner, __u32 ifindex)
{
    struct meter_hold hold = {};
    hold.exe_inode = owner->exe_inode;
    hold.exe_device = owner->exe_device;
    hold.uid = owner->uid;
    hold.ifindex = ifindex;
    if (bpf_map_lookup_elem(&holds, &hold))
        return 1;
    if (!holding_any_user)
        return 0;
    hold.uid = METER_ANY_USER;
    return bpf_map_lookup_elem(&holds, &hold) != 0;
}

static __always_inline int account(struct __sk_buff* skb, __u32 direction)
{
    struct bpf_sock* sk = skb->sk;
    if (!sk)
        return 1;
    sk = bpf_sk_fullsock(sk);
    if (!sk)
        return 1;
    struct meter_key key = {};
    struct meter_owner* owner = bpf_sk_storage_get(&owners, sk, 0, 0);
    if (owner) {
        if (owner->netns != counted_netns)
            return 1;
        if (holding && owner->exe_inode && held(owner, skb->ifindex))
            return 0; // refused, and so not the program's
        key.tgid = owner->tgid;
        key.uid = owner->uid;
        key.cgroup = owner->cgroup;
    } else {
        // A socket older than the meter: its user and its control group name it.
        if (bpf_get_netns_cookie(skb) != counted_netns)
            return 1;
        key.uid = bpf_get_socket_uid(skb);
        key.cgroup = bpf_skb_cgroup_id(skb);
    }
    key.ifindex = skb->ifindex;
    key.direction = direction;
    __u64 segments = skb->gso_segs > 1 ? skb->gso_segs : 1;
    __u64 bytes = skb->len;
    if (segments > 1)
        bytes += (segments - 1) * header_length(skb);
    struct meter_count* count = bpf_map_lookup_elem(&counts, &key);
    if (count) {
        count->bytes += bytes;
        count->packets += segments;
    } else {
        struct meter_count first = {bytes, segments};
        bpf_map_update_elem(&counts, &key, &first, BPF_NOEXIST);
        // Another CPU may have made it meanwhile: this CPU's slot is then still this one's.
        count = bpf_map_lookup_elem(&counts, &key);
        if (count && count->packets == 0) {
            count->bytes += bytes;
            count->packets += segments;
        }
    }
    return 1;
}

SEC("cgroup_skb/ingress")
int meter_ingress(struct __sk_buff* skb)
{
    return account(skb, METER_RECEIVED);
}

SEC("cgroup_skb/egress")
int meter_egress(struct __sk_buff* skb)
{
    return account(skb, METER_SENT);
}

// The kernel's record of a program being started, as far as the meter reads it: its fields are
// found by name in the kernel's own type information when the programs are loaded.
struct linux_binprm {
    const char* filename;
} __attribute__((preserve_access_index));

// A raw tracepoint: no tracing file system is needed to attach it.
SEC("raw_tp/sched_process_exec")
int meter_exec(struct bpf_raw_tracepoint_args* args)
{
    struct meter_name name = {};
    __u32 tgid = bpf_get_current_pid_tgid() >> 32;
    struct linux_binprm* program = (struct linux_binprm*)args->args[2];
    bpf_get_current_comm(name.comm, sizeof name.comm);
    bpf_probe_read_kernel_str(name.path, sizeof name.path, BPF_CORE_READ(program, filename));
    bpf_map_update_elem(&names, &tgid, &name, BPF_ANY);
    return 0;
}
