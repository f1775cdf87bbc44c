"""What every part of scripts/test-drivers shares: a failed step and running a tool."""
import subprocess


class StepFailed(Exception):
    """A step of the run failed; `tail` may hold the console's last lines."""

    def __init__(self, step, reason):
        super().__init__(f"{step}: {reason}")
        self.step, self.reason = step, reason
        self.tail = []


def run(step, args, timeout, **kwargs):
    """Runs a tool to its end within `timeout` seconds, or fails the step."""
    try:
        return subprocess.run(args, check=True, timeout=timeout, capture_output=True,
                              text=True, **kwargs)
    except subprocess.TimeoutExpired:
        raise StepFailed(step, f"{args[0]} took longer than {timeout} s")
    except subprocess.CalledProcessError as e:
        raise StepFailed(step, f"{' '.join(args)} failed: {(e.stderr or e.stdout).strip()[-500:]}")
    except OSError as e:
        raise StepFailed(step, f"{args[0]}: {e}")
