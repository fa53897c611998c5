"""The program as a user gets it: the Debian package built, checked, installed into a scratch root and
started for a first run to the sample panel, its backend package installed by hand, and all of it
purged without a trace."""
import os
import shutil

from harness import HERE, ProgramTest, sh


class Package(ProgramTest):
    def test_installs_runs_a_first_start_to_the_sample_panel_and_purges_without_a_trace(self):
        source, u = HERE.parent.parent, self.user
        built = sh("bash", "scripts/package.sh", cwd=source)
        self.assertEqual(built.returncode, 0, built.stderr)
        deb = source / f"dist/halvaren-tessary_{os.environ.get('TESSARY_VERSION')}_amd64.deb"
        name, depends = sh("dpkg-deb", "-f", deb, "Package", "Depends").stdout.splitlines()
        self.assertEqual(name, "Package: halvaren-tessary")
        for dependency in "python3", "bash (>= 5.0)", "libwebkit2gtk-4.1-0", "libgtk-3-0", "libayatana-appindicator3-1":
            self.assertIn(dependency, depends)
        files = [line.split()[5] for line in sh("dpkg-deb", "-c", deb).stdout.splitlines()]
        self.assertEqual([f for f in files if not f.startswith("./usr/") and f != "./"], [], "files outside /usr")
        lintian = sh("lintian", "--fail-on", "error", "--pedantic", "--display-info", deb)
        self.assertEqual(lintian.returncode, 0, lintian.stdout + lintian.stderr)
        self.assertNotRegex(lintian.stdout, "hardening-|desktop-entry-lacks", "built as Debian builds binaries")

        root = u.home / "root"
        for name in "info", "updates":
            (root / "var/lib/dpkg" / name).mkdir(parents=True, exist_ok=True)
        for name in "status", "available":
            (root / "var/lib/dpkg" / name).touch()
        dpkg = lambda *args: sh("dpkg", f"--root={root}", "--force-depends", "--force-not-root",  # noqa: E731
                                "--log=/dev/null", *args).returncode
        self.assertEqual(dpkg("-i", deb), 0)  # the scratch root has none of the dependencies
        u.write(".local/bin/uv", "#!/bin/sh\nexit 1\n", 0o700)  # the shipped one goes first
        app, log = u.start(root / "usr/bin/halvaren-tessary"), u.data / "native-shell.log"
        self.until(lambda: log.exists() and "GET /nagrania" in log.read_text(), 60, app.log.read_text())
        self.quit_promptly(app, within=4.0)
        self.assertIn("Serwer panelu zatrzymany.", log.read_text(), "quitting stopped the server")

        # By hand, from the unpacked package: install.sh runs the wizard and records the code root.
        shutil.copytree(root / "usr/share/halvaren-tessary", u.home / "unpacked", symlinks=True)
        self.assertEqual(u.run(u.home / "unpacked/app-root/install.sh").returncode, 0)
        self.assertEqual((u.data / "approot").read_text(), f"{u.home}/unpacked/app-root\n")

        self.assertEqual(dpkg("--purge", "halvaren-tessary"), 0)
        self.assertEqual([str(f) for f in root.rglob("*") if f.is_file() and f.parts[len(root.parts)] != "var"],
                         [], "left after purge")
