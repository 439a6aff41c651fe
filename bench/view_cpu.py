#!/usr/bin/env python3
"""CPU use of `velmira view` with SDL's dummy video driver, as a share of one core.

    bench/view_cpu.py --velmira build/velmira --maplib build/examples/sample.vml [--seconds 30]

Two cases, each measured from /proc/PID/stat (user + system time of all the program's
threads) over --seconds after a settling time, so start-up is not counted:
  idle   a log replayed at once, then nothing moves: the program should sleep;
  10 Hz  a receiver on a pseudo-terminal sending GGA, RMC and VTG ten times a second (GSA and
         a GSV group once a second), driving along a circle in the map, on a 1920 x 1080 window
         that follows it;
  10x    the sample drive (a 1 Hz log) replayed ten times faster: ten fixes a second with the
         full set of sentences of each epoch.
Python 3 standard library only.
"""
import argparse
import math
import os
import subprocess
import sys
import termios
import threading
import time
import tty

TICKS = os.sysconf("SC_CLK_TCK")


def checksum(body):
    value = 0
    for ch in body.encode():
        value ^= ch
    return "$%s*%02X\r\n" % (body, value)


def degrees_minutes(value, positive, negative, width):
    hemisphere = positive if value >= 0 else negative
    value = abs(value)
    whole = int(value)
    return "%0*d%07.4f" % (width, whole, (value - whole) * 60), hemisphere


def epoch(t, lat, lon, speed_kn, course):
    stamp = time.gmtime(t)
    hms = "%02d%02d%02d.%02d" % (stamp.tm_hour, stamp.tm_min, stamp.tm_sec, int(t * 100) % 100)
    date = "%02d%02d%02d" % (stamp.tm_mday, stamp.tm_mon, stamp.tm_year % 100)
    la, ns = degrees_minutes(lat, "N", "S", 2)
    lo, ew = degrees_minutes(lon, "E", "W", 3)
    return [
        checksum("GPGGA,%s,%s,%s,%s,%s,1,08,0.9,520.0,M,47.6,M,," % (hms, la, ns, lo, ew)),
        checksum("GPRMC,%s,A,%s,%s,%s,%s,%.1f,%.1f,%s,,," % (hms, la, ns, lo, ew, speed_kn, course, date)),
        checksum("GPVTG,%.1f,T,,M,%.1f,N,%.1f,K" % (course, speed_kn, speed_kn * 1.852)),
    ]


def second_extras():
    return [
        checksum("GPGSA,A,3,05,19,17,07,26,03,22,04,,,,,1.9,0.9,1.5"),
        checksum("GPGSV,2,1,08,05,89,021,51,04,66,194,44,19,83,256,46,17,19,130,27"),
        checksum("GPGSV,2,2,08,07,81,029,48,26,02,161,20,03,39,059,32,22,72,286,44"),
    ]


def receiver(master, stop, centre_lat, centre_lon, rate_hz):
    """Drives a 300 m circle at 15 m/s, `rate_hz` epochs a second."""
    radius, speed = 300.0, 15.0
    metres_per_deg_lat = 111200.0
    metres_per_deg_lon = metres_per_deg_lat * math.cos(math.radians(centre_lat))
    start = time.time()
    n = 0
    while not stop.is_set():
        t = start + n / rate_hz
        delay = t - time.time()
        if delay > 0:
            time.sleep(delay)
        angle = speed * (t - start) / radius
        lat = centre_lat + radius * math.sin(angle) / metres_per_deg_lat
        lon = centre_lon + radius * math.cos(angle) / metres_per_deg_lon
        course = (math.degrees(-angle) + 360) % 360
        lines = epoch(t, lat, lon, speed / 0.514444, course)
        if n % rate_hz == 0:
            lines += second_extras()
        try:
            os.write(master, "".join(lines).encode())
        except OSError:
            return
        n += 1


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def measure(command, settle, seconds, env):
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL)
    try:
        time.sleep(settle)
        before, t0 = cpu_seconds(process.pid), time.monotonic()
        time.sleep(seconds)
        after, t1 = cpu_seconds(process.pid), time.monotonic()
    finally:
        process.terminate()
        process.wait()
    return 100.0 * (after - before) / (t1 - t0)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--velmira", default="build/velmira")
    parser.add_argument("--maplib", default="build/examples/sample.vml")
    parser.add_argument("--log", default=os.path.join(os.path.dirname(__file__), "..", "examples", "drive.nmea"))
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--settle", type=float, default=5)
    parser.add_argument("--lat", type=float, default=48.1290)
    parser.add_argument("--lon", type=float, default=11.5560)
    args = parser.parse_args()
    env = dict(os.environ, SDL_VIDEODRIVER="dummy")
    total = args.settle + args.seconds + 5

    idle = measure([args.velmira, "view", args.maplib, "--replay", args.log, "--speed", "1000000",
                    "--size", "1920x1080", "--seconds", str(total)], args.settle, args.seconds, env)
    print("idle, 1920x1080:             %5.2f %% of one core" % idle, flush=True)

    master, slave = os.openpty()
    tty.setraw(master)
    stop = threading.Event()
    feeder = threading.Thread(target=receiver, args=(master, stop, args.lat, args.lon, 10), daemon=True)
    feeder.start()
    try:
        busy = measure([args.velmira, "view", args.maplib, "--device", os.ttyname(slave),
                        "--size", "1920x1080", "--seconds", str(total)], args.settle, args.seconds, env)
    finally:
        stop.set()
    print("10 Hz receiver, 1920x1080:   %5.2f %% of one core" % busy, flush=True)
    replay = measure([args.velmira, "view", args.maplib, "--replay", args.log, "--speed", "10",
                      "--size", "1920x1080", "--seconds", str(total)], args.settle, args.seconds, env)
    print("log replayed 10x, 1920x1080: %5.2f %% of one core" % replay)
    os.close(slave)
    os.close(master)
    return 0


if __name__ == "__main__":
    sys.exit(main())
