#!/usr/bin/python3
"""mcubes mesh across the processes of mpirun against one process.

For each volume: one process with one thread, one process with two threads,
mpirun -n 1 and mpirun -n N, and N single-thread processes side by side
(each meshing the whole volume, without MPI), interleaved run after run so
that a change in the machine's load falls on all of them alike. Prints the
best and median wall time of each (the whole command a user waits for,
mpirun's start included), the largest process's peak memory, the ratio of
-n 1 to -n N, the ceiling this machine puts on that ratio (N times the time
alone over the time of N side by side: what N processes could give if
splitting the work cost nothing), the load average before and after, and
whether every way wrote the same bytes.

  benchmarks/mpi_scaling.py --mcubes build/release/tools/mcubes \\
      --volume w512.nrrd:160.5 --volume ball1024.nrrd:0.5 --runs 7

Volumes for it: mcubes sample wavelet --size 512 -o w512.nrrd; mcubes
sample labels --size 1024 -o ball1024.nrrd (a 1 GiB uint8 ball at 0.5).
"""

import argparse
import filecmp
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def timed(*commands):
    """Wall seconds until every one of the commands, started together, has
    ended, and the largest process's peak memory (MB)."""
    start = time.perf_counter()
    children = [subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                for command in commands]
    peak = 0.0
    for child, command in zip(children, commands):
        _, status, usage = os.wait4(child.pid, 0)
        if os.waitstatus_to_exitcode(status) != 0:
            raise SystemExit("failed: " + " ".join(command))
        peak = max(peak, usage.ru_maxrss / 1024.0)
    return time.perf_counter() - start, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mcubes", required=True, help="the mcubes program")
    parser.add_argument("--volume", action="append", required=True,
                        help="FILE:ISO, a volume and its level (repeat for more)")
    parser.add_argument("--processes", type=int, default=2, help="N for mpirun -n N")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--format", default="ply", choices=["ply", "stl"])
    parser.add_argument("--mpirun", default=shutil.which("mpirun") or "mpirun")
    parser.add_argument("--one-node", action="store_true",
                        help="give mpirun --mca pml ob1 --mca btl self,vader: shared memory "
                             "only, which starts faster where every process is on one machine")
    args = parser.parse_args()

    mpirun = [args.mpirun, "--oversubscribe", "-q",
              "--mca", "btl_vader_single_copy_mechanism", "none"]
    if os.geteuid() == 0:
        mpirun.append("--allow-run-as-root")
    if args.one_node:
        mpirun += ["--mca", "pml", "ob1", "--mca", "btl", "self,vader"]
    n = args.processes
    ways = {
        "alone": lambda mesh: mesh + ["--threads", "1"],
        "--threads 2": lambda mesh: mesh + ["--threads", "2"],
        "mpirun -n 1": lambda mesh: mpirun + ["-n", "1"] + mesh + ["--threads", "1"],
        "mpirun -n %d" % n: lambda mesh: mpirun + ["-n", str(n)] + mesh + ["--threads", "1"],
    }
    beside = "%d side by side" % n
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    with tempfile.TemporaryDirectory() as folder:
        for given in args.volume:
            volume, iso = given.rsplit(":", 1)
            times = {way: [] for way in list(ways) + [beside]}
            peaks = {way: 0.0 for way in times}
            outputs = {way: os.path.join(folder, "%d.%s" % (i, args.format))
                       for i, way in enumerate(ways)}
            for _ in range(args.runs):
                for way, command in ways.items():
                    mesh = [args.mcubes, "mesh", "--volume", volume, "--iso", iso,
                            "-o", outputs[way]]
                    wall, peak = timed(command(mesh))
                    times[way].append(wall)
                    peaks[way] = max(peaks[way], peak)
                alone = [args.mcubes, "mesh", "--volume", volume, "--iso", iso, "--threads", "1"]
                wall, peak = timed(*[alone + ["-o", os.path.join(folder, "beside%d.%s" %
                                                                  (p, args.format))]
                                     for p in range(n)])
                times[beside].append(wall)
                peaks[beside] = max(peaks[beside], peak)
            print("%s at %s, %d runs:" % (volume, iso, args.runs))
            for way in times:
                print("  %-14s best %6.2f s  median %6.2f s  peak %5.0f MB" %
                      (way, min(times[way]), statistics.median(times[way]), peaks[way]))
            one, many = times["mpirun -n 1"], times["mpirun -n %d" % n]
            print("  -n 1 / -n %d: %.2fx best, %.2fx median" %
                  (n, min(one) / min(many), statistics.median(one) / statistics.median(many)))
            print("  this machine's ceiling on it (%d x alone / %s): %.2fx best, %.2fx median" %
                  (n, beside, n * min(times["alone"]) / min(times[beside]),
                   n * statistics.median(times["alone"]) / statistics.median(times[beside])))
            same = all(filecmp.cmp(outputs["alone"], path, shallow=False)
                       for path in outputs.values())
            print("  every way wrote the same bytes: %s" % ("yes" if same else "NO"))
    print("load average after: %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
