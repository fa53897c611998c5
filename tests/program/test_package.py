"""The program as a user gets it: the Debian package built, checked, installed into a scratch root,
started for a first run to the sample panel and purged; and the sample backend package installed
by hand."""
import os
import shutil

from harness import HERE, ProgramTest, eventually, sh

SOURCE = HERE.parent.parent


class Package(ProgramTest):
    def test_installs_runs_a_first_start_to_the_sample_panel_and_purges_without_a_trace(self):
        built = sh("bash", "scripts/package.sh", cwd=SOURCE)
        self.assertEqual(built.returncode, 0, built.stderr)
        deb = SOURCE / f"dist/halvaren-tessary_{os.environ.get('TESSARY_VERSION')}_amd64.deb"
        field = lambda name: sh("dpkg-deb", "-f", deb, name).stdout.strip()  # noqa: E731
        self.assertEqual(field("Package"), "halvaren-tessary")
        for dependency in ("python3", "bash (>= 5.0)", "libwebkit2gtk-4.1-0", "libgtk-3-0",
                           "libayatana-appindicator3-1"):
            self.assertIn(dependency, field("Depends"))
        files = [line.split()[5] for line in sh("dpkg-deb", "-c", deb).stdout.splitlines()]
        self.assertEqual([f for f in files if not f.startswith("./usr/") and f != "./"], [], "files outside /usr")
        lintian = sh("lintian", "--fail-on", "error", deb)
        self.assertEqual(lintian.returncode, 0, lintian.stdout + lintian.stderr)

        u = self.user
        root = u.home / "root"
        (root / "var/lib/dpkg/info").mkdir(parents=True)
        (root / "var/lib/dpkg/updates").mkdir()
        for name in ("status", "available"):
            (root / "var/lib/dpkg" / name).touch()
        dpkg = lambda *args: sh("dpkg", f"--root={root}", "--force-depends", "--force-not-root",  # noqa: E731
                                "--log=/dev/null", *args)
        self.assertEqual(dpkg("-i", deb).returncode, 0)  # the scratch root has none of the dependencies
        app = u.start(root / "usr/bin/halvaren-tessary")
        log = u.data / "native-shell.log"
        self.assertTrue(eventually(lambda: log.exists() and "GET /nagrania" in log.read_text(), 60),
                        app.log.read_text())
        self.quit_promptly(app, within=4.0)
        self.assertIn("Serwer panelu zatrzymany.", log.read_text(), "quitting stopped the server")
        self.assertEqual(dpkg("--purge", "halvaren-tessary").returncode, 0)
        self.assertEqual([str(f) for f in root.rglob("*") if f.is_file() and f.parts[len(root.parts)] != "var"],
                         [], "left after purge")

    def test_installed_by_hand_it_records_itself_and_its_uv_runs_the_project_command(self):
        u = self.user
        shutil.copytree(SOURCE / "package", u.home / "package", symlinks=True)
        self.assertEqual(u.run(u.home / "package/app-root/install.sh").returncode, 0)
        self.assertEqual((u.data / "approot").read_text(), f"{u.home}/package/app-root\n")
        u.write("project/.venv/bin/tessary", '#!/bin/bash\necho "ran: $*"\n', 0o700)
        u.write("project/sub/x", "")
        uv = u.home / ".local/bin/uv"
        ran = sh(uv, "run", "tessary", "serve", "a b", cwd=u.home / "project/sub")
        self.assertEqual((ran.stdout, ran.returncode), ("ran: serve a b\n", 0))
        self.assertEqual(sh(uv, "run", "tessary", cwd="/").returncode, 127)
