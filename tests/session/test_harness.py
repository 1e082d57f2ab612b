"""The session itself: every service comes up, works, and goes away."""

import os
import subprocess
import time
import unittest

from harness import Session, wait_until


class HarnessTest(unittest.TestCase):
    def test_services_come_up_and_go_away(self):
        with Session("harness") as s:
            self.assertTrue(s.bus_name_has_owner("org.freedesktop.Notifications"))
            self.assertTrue(s._x11.selection_owner("_NET_SYSTEM_TRAY_S0"))
            # A notification reaches dunst.
            subprocess.run(["notify-send", "-u", "critical", "hello", "from the harness"],
                           env=s.env, check=True, timeout=15)
            wait_until(lambda: s.dunst_shown_count() >= 1, 10, what="dunst to show it")
            # A tone reaches the capture sink.
            tone = s.path("tone.wav")
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", tone, "synth", "1.0",
                            "sine", "440", "vol", "0.5"], check=True, timeout=30)
            start = s.capture_position()
            subprocess.run(["paplay", tone], env=s.env, check=True, timeout=30)
            wait_until(lambda: s.sounding_seconds(start) >= 0.8, 10, what="the tone")
            shot = s.screenshot("harness")
            self.assertTrue(os.path.getsize(shot) > 0)
            pids = [p.pid for p in s._children]
            self.assertLess(s.started_in, 30)
        time.sleep(0.2)
        for pid in pids:
            with self.assertRaises(OSError):
                os.kill(pid, 0)


if __name__ == "__main__":
    unittest.main()
