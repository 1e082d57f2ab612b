"""The session itself: every service comes up, works, and goes away."""

import os
import subprocess
import unittest

from harness import Session, wait_until


class HarnessTest(unittest.TestCase):
    def test_services_come_up_work_and_go_away(self):
        with Session("harness") as s:
            monitor = s.monitor_notifications()
            subprocess.run(["notify-send", "-u", "critical", "hello", "from the harness"],
                           env=s.env, check=True, timeout=15)
            call = monitor.wait_for_notify(1)
            self.assertEqual((call["summary"], call["body"]), ("hello", "from the harness"))
            wait_until(lambda: s.dunst_shown_count() == 1, 10, what="dunst to show it")
            s.dunst_close()
            wait_until(lambda: monitor.closed == [(call["id"], 2)], 10, what="the close signal")
            tone = s.path("tone.wav")
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", tone, "synth", "1.0",
                            "sine", "440", "vol", "0.5"], check=True, timeout=30)
            start = s.capture_position()
            subprocess.run(["paplay", tone], env=s.env, check=True, timeout=30)
            wait_until(lambda: s.sounding_seconds(start) >= 0.8, 10, what="the tone")
            pids = [p.pid for p in s._children]
        for pid in pids:
            with self.assertRaises(OSError):
                os.kill(pid, 0)


if __name__ == "__main__":
    unittest.main()
