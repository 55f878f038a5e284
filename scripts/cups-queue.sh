#!/usr/bin/env bash
# Brings up CUPS with the virtual PDF printer the printing test prints to (default name
# CorvanePDF, driver cups-pdf) and prints the folder its PDF files land in for this user.
# Exits 1 with the reason on standard error when that cannot be done (not installed, not
# root while CUPS is down, ...). Safe to run again: what is already there is kept.
set -u
queue=${1:-CorvanePDF}

command -v cupsd >/dev/null 2>&1 || { echo "cupsd is not installed (package cups)" >&2; exit 1; }
[ -x /usr/lib/cups/backend/cups-pdf ] || { echo "the cups-pdf backend is not installed (package printer-driver-cups-pdf)" >&2; exit 1; }

running() { lpstat -r 2>/dev/null | grep -q "is running"; }
if ! running; then
  [ "$(id -u)" -eq 0 ] || { echo "CUPS is not running, and only root can start it" >&2; exit 1; }
  mkdir -p /run/cups
  cupsd >/dev/null 2>&1 || { echo "cupsd did not start" >&2; exit 1; }
  for _ in $(seq 100); do running && break; sleep 0.1; done
  running || { echo "cupsd started but does not answer" >&2; exit 1; }
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
  ppd=$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/*.ppd 2>/dev/null | head -n 1)
  [ -n "$ppd" ] || { echo "no cups-pdf PPD found under /usr/share/ppd/cups-pdf" >&2; exit 1; }
  lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd" >/dev/null 2>&1 ||
    { echo "lpadmin could not add the queue $queue" >&2; exit 1; }
fi
cupsenable "$queue" >/dev/null 2>&1 || true
cupsaccept "$queue" >/dev/null 2>&1 || true
lpstat -p "$queue" >/dev/null 2>&1 || { echo "the queue $queue is not there" >&2; exit 1; }

# cups-pdf writes a user's jobs to its "Out" folder (${HOME} is the job owner's home).
out=$(sed -n 's/^[[:space:]]*Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -n 1)
out=${out:-'${HOME}/PDF'}
home=$(getent passwd "$(id -un)" | cut -d: -f6)
echo "${out//\$\{HOME\}/${home:-$HOME}}"
