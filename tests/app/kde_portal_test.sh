#!/usr/bin/env bash
# kde_portal_test.sh RUN_SH TEST: runs TEST inside the headless KDE desktop that RUN_SH
# starts. When RUN_SH says the desktop cannot start on this machine (exit 3), the test
# is skipped with one line that says so; every other outcome is the test's own.
run_sh=$1
shift
if [ ! -x "$run_sh" ]; then
  echo "kde_portal_test: $run_sh is missing (the shared tools belong beside the checkout)" >&2
  exit 1
fi
"$run_sh" "$@"
rc=$?
if [ $rc -eq 3 ]; then
  echo "kde_portal_test: SKIPPED, the headless KDE desktop cannot start here (the reason is above)"
fi
exit $rc
