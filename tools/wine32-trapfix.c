/* Preloaded into the i386 Wine loader when it runs under qemu-i386 (tools/wine32-env).
 *
 * qemu-user hands every signal to the program with the trap number -1 in its context, so
 * Wine cannot tell a page fault from any other fault: a null pointer access arrives in the
 * Windows program as an illegal instruction, which breaks IsBadReadPtr, __try/__except on
 * access violations and divide-by-zero. This library stands between Wine and sigaction for
 * the four fault signals and writes the trap number the kernel would have given (derived from
 * si_code) before Wine's handler runs.
 *
 * It uses no headers and no libraries: the host compiler builds it with -m32 -nostdlib, so no
 * i386 development package is needed. The layouts below are the i386 Linux ABI. */

typedef unsigned int u32;

/* glibc's struct sigaction on i386. */
struct i386_sigaction {
  void* handler;
  u32 mask[32];
  int flags;
  void (*restorer)(void);
};

struct siginfo_start {
  int signo, error, code;
};

typedef void (*info_handler)(int, struct siginfo_start*, void*);

extern void* dlsym(void*, const char*);
extern int unsetenv(const char*);

enum {
  kSaSiginfo = 4,
  kSigtrap = 5,
  kSigbus = 7,
  kSigfpe = 8,
  kSigsegv = 11,
  /* ucontext_t: uc_flags, uc_link, uc_stack (12 bytes), then mcontext's gregs. */
  kGregsOffset = 20,
  kRegTrapno = 12,
  kTrapDivide = 0,
  kTrapDebug = 1,
  kTrapBreakpoint = 3,
  kTrapProtection = 13,
  kTrapPageFault = 14,
  kSegvMapErr = 1,
  kSegvAccErr = 2,
  kFpeIntDiv = 1,
  kTrapKernel = 0x80
};

#define RTLD_NEXT ((void*)-1l)

static info_handler wine_handlers[32];
static int (*next_sigaction)(int, const struct i386_sigaction*, struct i386_sigaction*);

/* The wrapper sets LD_PRELOAD for this process only: its children (the 64-bit loader among
 * them) must not inherit an i386 library. */
__attribute__((constructor)) static void forget_preload(void) { unsetenv("LD_PRELOAD"); }

static int kernel_trap_number(int signal, const struct siginfo_start* info) {
  switch (signal) {
    case kSigsegv:
      return info->code == kSegvMapErr || info->code == kSegvAccErr ? kTrapPageFault
                                                                    : kTrapProtection;
    case kSigbus:
      return kTrapPageFault;
    case kSigfpe:
      return info->code == kFpeIntDiv ? kTrapDivide : -1;
    case kSigtrap:
      return info->code == kTrapKernel ? kTrapBreakpoint : kTrapDebug;
  }
  return -1;
}

static void with_trap_number(int signal, struct siginfo_start* info, void* context) {
  int* registers = (int*)((char*)context + kGregsOffset);
  if (registers[kRegTrapno] == -1 && info) {
    registers[kRegTrapno] = kernel_trap_number(signal, info);
  }
  wine_handlers[signal](signal, info, context);
}

static int is_fault_signal(int signal) {
  return signal == kSigsegv || signal == kSigbus || signal == kSigfpe || signal == kSigtrap;
}

int sigaction(int signal, const struct i386_sigaction* action, struct i386_sigaction* old) {
  struct i386_sigaction wrapped;
  info_handler previous = signal > 0 && signal < 32 ? wine_handlers[signal] : 0;
  int result;
  if (!next_sigaction) {
    next_sigaction = (int (*)(int, const struct i386_sigaction*, struct i386_sigaction*))dlsym(
        RTLD_NEXT, "sigaction");
  }
  if (action && is_fault_signal(signal) && (action->flags & kSaSiginfo) &&
      action->handler != (void*)with_trap_number) {
    wrapped = *action;
    wine_handlers[signal] = (info_handler)action->handler;
    wrapped.handler = (void*)with_trap_number;
    action = &wrapped;
  }
  result = next_sigaction(signal, action, old);
  if (old && old->handler == (void*)with_trap_number) old->handler = (void*)previous;
  return result;
}
