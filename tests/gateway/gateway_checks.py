"""Checks counted for a closing line, and a deadline wait, shared by the
gateway's end-to-end scripts."""
import time

RESULTS = {"passed": 0, "failed": 0}


def check(name, ok, detail=""):
    RESULTS["passed" if ok else "failed"] += 1
    if not ok:
        print(f"FAILED {name}: {detail}", flush=True)


def wait_for(condition, timeout=5.0):
    """True as soon as condition() is, False at the deadline."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.02)
    return condition()


def summary():
    """Prints the closing line; the exit code."""
    print(f"{RESULTS['passed']} passed, {RESULTS['failed']} failed")
    return 1 if RESULTS["failed"] else 0
