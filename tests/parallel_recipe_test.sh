#!/usr/bin/env bash
# The recipe for sharing a library among several machines, run as a user
# runs it: -list0 names the photo directories, and GNU parallel sends one
# Slidemill for each through SSH to two "machines", with the stand-in
# encoder. Both are this machine, reached through an SSH server the test
# starts on loopback with its own port, host key and login key; nothing of
# the machine's own SSH set-up is used or changed.
source "$(dirname "$0")/shell_checks.sh"
lib="$s/my photos"
export SLIDEMILL_TEST_ENCODER_LOG="$s/records.txt"

ssh_dir="$s/ssh"
mkdir -m 700 "$ssh_dir"
ssh-keygen -q -t ed25519 -N '' -f "$ssh_dir/host_key" </dev/null
ssh-keygen -q -t ed25519 -N '' -f "$ssh_dir/login_key" </dev/null
cp "$ssh_dir/login_key.pub" "$ssh_dir/authorized_keys"
echo "slidemill-test $(cat "$ssh_dir/host_key.pub")" >"$ssh_dir/known_hosts"

sshd_pid=
trap '[ -n "$sshd_pid" ] && kill "$sshd_pid"; rm -rf "$s"' EXIT
sshd=$(command -v sshd || echo /usr/sbin/sshd)
# A free port is found by trying: a server that cannot listen ends at once.
for try in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 40000))
  printf '%s\n' "ListenAddress 127.0.0.1:$port" "HostKey $ssh_dir/host_key" "PidFile none" \
    "AuthorizedKeysFile $ssh_dir/authorized_keys" "UsePAM no" "StrictModes no" \
    "PasswordAuthentication no" "KbdInteractiveAuthentication no" >"$ssh_dir/sshd_config"
  printf '%s\n' "Host machine2 machine3" "HostName 127.0.0.1" "Port $port" "User $(id -un)" \
    "IdentityFile $ssh_dir/login_key" "IdentitiesOnly yes" "HostKeyAlias slidemill-test" \
    "UserKnownHostsFile $ssh_dir/known_hosts" "BatchMode yes" >"$ssh_dir/config"
  server=("$sshd" -D -f "$ssh_dir/sshd_config" -E "$ssh_dir/sshd.log")
  if [ "$(id -u)" = 0 ]; then
    # Run by root, sshd wants its privilege separation directory /run/sshd:
    # here it gets one in a /run of its own, seen by it alone.
    unshare --mount --propagation private sh -c \
      'mount -t tmpfs slidemill-test /run && mkdir -m 755 /run/sshd && exec "$@"' sh "${server[@]}" &
  else
    "${server[@]}" &
  fi
  sshd_pid=$!
  for _ in $(seq 50); do
    ssh -F "$ssh_dir/config" machine2 true </dev/null 2>/dev/null && break 2
    kill -0 "$sshd_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill "$sshd_pid" 2>/dev/null
  sshd_pid=
done
[ -n "$sshd_pid" ] || { fail "no SSH server on loopback: $(cat "$ssh_dir/sshd.log")"; finish "parallel recipe"; }

recipe() {
  "$root/build/slidemill" -dir "$lib" -r -list0 </dev/null |
    parallel --will-cite -0 --ssh "ssh -F $ssh_dir/config" -S machine2,machine3 \
      --env SLIDEMILL_TEST_ENCODER_LOG "$root/build/slidemill" -dir {} -r-depth 0 \
      -mencoder-path "$root/build/test_encoder" >"$s/parallel.txt" 2>&1
}

# Names that the remote shell reads as its own unless each is quoted right.
photo_dirs=("$lib/day one" "$lib/day one/it's \"quoted\"" "$lib/\$HOME; touch \"$s/ran\"; x"
  "$lib/Москва – café 日本" "$lib/b")
mkdir -p "${photo_dirs[@]}" "$lib/no photos"
for d in "${photo_dirs[@]}"; do printf '\377\330\377' >"$d/p1.jpg"; printf '\377\330\377' >"$d/P2.JPG"; done
printf '\377\330\377' >"$lib/no photos/notes.txt"
recipe || fail "the recipe ended with status $?: $(cat "$s/parallel.txt")"
want=$(printf '%s\n' "${photo_dirs[@]}" | sort)
[ "$(find "$lib" -name '_movie*' -size +0 | sort)" = "$(printf '%s/_movie.avi\n' "${photo_dirs[@]}" | sort)" ] ||
  fail "not exactly one finished video in each photo directory: $(find "$lib" -name '_movie*')"
[ "$(sed -n 's/^dir=//p' "$s/records.txt" | sort)" = "$want" ] ||
  fail "the encoder did not run once in each photo directory: $(grep '^dir=' "$s/records.txt")"
[ ! -e "$s/ran" ] || fail "a directory's name ran as a command on the remote machine"

# One failed video fails its Slidemill, and so parallel.
echo EXIT=3 >"$lib/b/stand-in"
recipe
status=$?
[ "$status" = 1 ] || fail "one failed directory: parallel's status $status, not 1"

finish "parallel recipe"
