#!/usr/bin/env bash
# Writes the manual page tzsndmsg(1) from the program's own --help texts.
#   make-manpage.sh PROGRAM DATE OUTPUT      (DATE as "December 2026")
set -euo pipefail
program=$1 date=$2 output=$3
export QT_QPA_PLATFORM=offscreen

# roff: backslashes and hyphens escaped, a line starting with . or ' protected.
esc() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\([.']\)/\\\\\&\1/"; }

version=$("$program" --version | awk '{print $2}')
usage=$("$program" --help)
commands=$(printf '%s\n' "$usage" | awk '/^  [a-z]/ {print $1}')

{
  echo ".TH TZSNDMSG 1 \"$date\" \"tzsndmsg $version\" \"User Commands\""
  echo ".SH NAME"
  echo "tzsndmsg \\- office messages, events and holidays of a clinic"
  echo ".SH SYNOPSIS"
  echo ".B tzsndmsg"
  echo ".I COMMAND"
  echo "[\\fIoptions\\fR]"
  echo ".SH DESCRIPTION"
  echo "The staff of a clinic send each other internal messages (inbox, sent items, history, To and"
  echo "Cc of employees, departments, the whole office and workstations, replies, forwards, return"
  echo "receipts, confirmations and reminders), keep the office's events and its holidays."
  echo "\\fBtzsndmsg\\fR creates an office's database, opens its windows, sends announcements and"
  echo "lists a person's messages, over SQLite or a PostgreSQL server shared by the workstations."
  echo ".PP"
  echo ".nf"
  printf '%s\n' "$usage" | esc
  echo ".fi"
  echo ".SH COMMANDS"
  for c in $commands; do
    [ "$c" = "tzsndmsg" ] && continue
    echo ".SS $c"
    echo ".nf"
    "$program" "$c" --help | esc
    echo ".fi"
  done
  cat <<'TXT'
.SH FILES
.TP
.I /etc/tzsndmsg.conf
The machine's settings: keys \fBdatabase\fR, \fBdata\fR, \fBhelp\fR, \fBlogin\fR and \fBcomputer\fR;
for the tray \fBquiet\fR (hours without notifications, such as 12:00\-13:00) and \fBsound\fR
(off, on, or a sound file).
.TP
.I ~/.config/tzsndmsg/tzsndmsg.conf
The user's settings, over the machine's.
.TP
.I ~/.local/share/tzsndmsg
The office made by \fBtzsndmsg init\fR when nothing else is configured.
.TP
.I ~/.local/state/tzsndmsg/
What \fBtzsndmsg tray\fR and \fBtzsndmsg watch\fR have told, so that nothing is told twice
(\fB$XDG_STATE_HOME/tzsndmsg/\fR when that is set).
.TP
.I /etc/xdg/autostart/tzsndmsg\-tray.desktop
Starts \fBtzsndmsg tray \-\-autostart\fR with each desktop session.
.SH ENVIRONMENT
\fBTZSNDMSG_DB_URL\fR, \fBTZSNDMSG_DATA\fR, \fBTZSNDMSG_HELP\fR, \fBTZSNDMSG_LOGIN\fR and
\fBTZSNDMSG_COMPUTER\fR override the settings files; the flags override them all.
\fBTZSNDMSG_HOME\fR moves the default office.
.SH EXIT STATUS
0 done, 1 the operation failed (the reason on standard error), 2 bad arguments or set\-up.
TXT
} > "$output"
