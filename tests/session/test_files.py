"""The alarms file under SIGKILL mid-write, a full disk and a read-only folder:
it always holds a whole list the program wrote, and the next good write stores
what failed."""

import os
import random
import shutil
import signal
import subprocess
import threading
import time

from harness import SessionCase, alarm, record_case, wait_until

ROWS = 8


class FileSession(SessionCase):
    session_options = {"sound": False}

    def setUp(self):
        super().setUp()
        # Far from now, so that enabling them schedules but never rings.
        hour = (time.localtime().tm_hour + 6) % 24
        self.base = [alarm("Alarm %d" % i, hour, 5 * i, enabled=False) for i in range(ROWS)]

    def start(self):
        app = self.session.start_pendra(stdin=True, env={"PENDRA_TEST_COMMANDS": "1"})
        self.click(app, 0)  # answered once the panels are up
        return app

    def click(self, app, row):
        done = lambda: app.lines.count("clicked alarmEnabled-%d" % row)
        before = done()
        app.send("click alarmEnabled-%d" % row)
        wait_until(lambda: done() > before, what="click on row %d" % row)


class KilledWhileWriting(FileSession):
    def test_sigkill_at_random_moments_leaves_an_old_or_new_whole_list(self):
        seed = int(os.environ.get("PENDRA_TEST_SEED") or time.time())
        rng = random.Random(seed)
        self.plant(self.base)
        enabled = [False] * ROWS
        kills = int(os.environ.get("PENDRA_KILLS", "200"))
        in_flight = clicks_total = 0
        for cycle in range(kills):
            app = self.start()
            enabled[0] = not enabled[0]
            # states[k]: the list after k more clicks; the file must hold one
            # of those from the acknowledged count up to the count sent.
            order = [rng.randrange(ROWS) for _ in range(2000)]
            states = [list(enabled)]
            for row in order:
                states.append(list(states[-1]))
                states[-1][row] = not states[-1][row]
            sent = [0]
            first = len(app.lines)
            answered = lambda: sum(1 for l in app.lines[first:] if l.startswith("clicked "))

            def feed():
                # At most two clicks in flight, so that the file can hold only
                # one of three lists at the moment of the kill.
                try:
                    for row in order:
                        with app.changed:
                            while answered() < sent[0] - 1 and app.alive():
                                app.changed.wait(0.2)
                        app.send("click alarmEnabled-%d" % row)
                        sent[0] += 1
                except OSError:
                    pass

            feeder = threading.Thread(target=feed, daemon=True)
            feeder.start()
            time.sleep(rng.uniform(0.005, 0.2))
            app.proc.send_signal(signal.SIGKILL)
            app.wait()
            feeder.join(10)
            app._reader.join(10)
            acked = answered()
            clicks_total += acked
            in_flight += acked < sent[0]
            msg = "cycle %d (seed %d): %d clicks answered, %d sent" % (cycle, seed, acked, sent[0])
            try:
                stored = self.stored()
            except ValueError as e:
                self.fail("%s: the file is not whole JSON (%s)" % (msg, e))
            self.assertEqual([dict(a, enabled=None) for a in stored],
                             [dict(a, enabled=None) for a in self.base], msg)
            enabled = [a["enabled"] for a in stored]
            self.assertIn(enabled, states[acked:sent[0] + 1],
                          msg + ": the file holds a list never written")
        self.assertGreater(in_flight, 0, "no kill came while a write was under way")
        # A start clears what a killed write may leave behind.
        open(os.path.join(self.data, "alarms.json.Ab12Cd"), "w").close()
        self.start()
        self.assertEqual(sorted(n for n in os.listdir(self.data) if n.startswith("alarms")),
                         ["alarms.json"])
        record_case("sigkill-while-writing",
                    "%d kills, %d of them while a click and its write were under way; "
                    "%d clicks in all; the file was whole JSON holding the old or the new "
                    "list every time" % (kills, in_flight, clicks_total),
                    kills=kills, in_flight=in_flight, clicks=clicks_total, seed=seed)


class FailedWrites(FileSession):
    def test_a_full_disk_then_a_read_only_folder_fail_writes_the_next_one_makes_good(self):
        if os.geteuid() != 0 or not shutil.which("mount"):
            self.skipTest("mounting a tmpfs needs root")
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k,mode=0755", "tmpfs", self.data],
                       check=True)
        # Runs after the session stopped: nothing holds the mount any more.
        self.addCleanup(subprocess.run, ["umount", "-l", self.data])
        self.plant(self.base)
        app = self.start()  # row 0 on, written while there is room
        failed = lambda: [l for l in app.lines if l.startswith("Failed to write JSON data")]

        def fail_then_make_good(rows, undo):
            before, earlier = self.stored(), len(failed())
            for row in rows:
                self.click(app, row)
            wait_until(lambda: len(failed()) == earlier + len(rows), what="the failed writes")
            self.assertEqual(self.stored(), before, "a failed write changed the file")
            undo()
            self.click(app, rows[-1] + 1)
            self.assertEqual([a["enabled"] for a in self.stored()],
                             [True] * (rows[-1] + 2) + [False] * (ROWS - rows[-1] - 2))
            return failed().pop()

        filler = os.path.join(self.data, "filler")
        subprocess.run(["dd", "if=/dev/zero", "of=" + filler, "bs=1"], capture_output=True)
        line = fail_then_make_good([1, 2], lambda: os.remove(filler))
        self.assertRegex(line, "No space left on device")
        record_case("disk-full",
                    "both writes on a full tmpfs printed \"Failed to write JSON data: No space "
                    "left on device\" and left the file as it was; after space came back the "
                    "next write stored all three changes")

        subprocess.run(["mount", "-o", "remount,ro", self.data], check=True)
        remount = lambda: subprocess.run(["mount", "-o", "remount,rw", self.data], check=True)
        self.addCleanup(remount)
        line = fail_then_make_good([4], remount)
        self.assertTrue(app.alive())
        record_case("read-only-folder",
                    "the write into a read-only folder printed \"%s\" and left the file as it "
                    "was; once writable, the next write stored both changes" % line)
