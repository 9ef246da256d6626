# Sourced: gives the Windows programs one X display for the whole run. Without a
# DISPLAY it starts a private Xvfb and stops it when the calling script exits.
if [[ -z ${DISPLAY:-} ]]; then
  rqx_display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$rqx_display_file" >/dev/null 2>&1 &
  rqx_xvfb_pid=$!
  trap 'kill $rqx_xvfb_pid 2>/dev/null || true; rm -f "$rqx_display_file"' EXIT
  for _ in $(seq 100); do [[ -s $rqx_display_file ]] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$rqx_display_file")
fi
