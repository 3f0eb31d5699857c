"""The built agent serves these 23 operation names over real pipes.

Whatever the desktop (the Linux backend answers empty or false without a
display), no name is answered "Unknown request", every request gets exactly
one line with its id, nothing reaches standard error, and the exit status is 0.
"""
import json
import subprocess
import sys

OPS = ["permissions", "request_permission", "apps", "frontmost", "windows", "at", "display",
       "focus_info", "mouse", "drag", "type", "key", "scroll", "activate", "launch", "ax_tree",
       "ax_press_at", "ax_press", "ax_focus", "ax_info", "ax_set", "ax_find", "ax_wait"]


def main(agent):
    # pid 0 names no application; "kind": "move" keeps "mouse" to one pointer move.
    # "drag" and "scroll" get no "y": they answer "Missing point" and touch no real desktop.
    def request(i, op):
        r = {"id": i, "op": op, "x": 1, "y": 2, "pid": 0, "path": "0", "kind": "move", "bundleId": "", "timeout": 0}
        if op in ("drag", "scroll"):
            del r["y"]
        return r
    lines = [json.dumps(request(i, op)) for i, op in enumerate(OPS)]
    lines.append(json.dumps({"id": "last", "op": "scroll", "x": 0, "y": 0, "dx": -2147483648}))
    run = subprocess.run([agent], input="\n".join(lines) + "\n", capture_output=True, text=True,
                         timeout=60)
    failures = []
    if run.returncode != 0:
        failures.append(f"exit status {run.returncode}")
    if run.stderr:
        failures.append(f"standard error: {run.stderr!r}")
    answers = [json.loads(line) for line in run.stdout.splitlines()]
    if [a.get("id") for a in answers] != list(range(len(OPS))) + ["last"]:
        failures.append(f"ids out of order or missing: {[a.get('id') for a in answers]}")
    for op, a in zip(OPS, answers):
        if a.get("error") == "Unknown request":
            failures.append(f"{op} is not served")
        if op in ("drag", "scroll") and a.get("error") != "Missing point":
            failures.append(f"{op}: {a}")
        elif "result" not in a and a.get("code") not in ("not_running", "stale_element", "open_failed", "helper",
                                                         "bad_args"):
            failures.append(f"{op}: unexpected answer {a}")
    if answers and answers[-1] != {"id": "last", "error": 'Number out of range for "dx"', "code": "bad_args"}:
        failures.append(f"scroll by -2147483648: {answers[-1]}")
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
