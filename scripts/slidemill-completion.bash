# Bash completion for slidemill: the option names, file names after the
# options that take a file, directory names after -dir, the two encoders
# after -encoder. Installed as share/bash-completion/completions/slidemill.

_slidemill() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  case $prev in
    -log-path | -mencoder-path | -ffmpeg-path | -subtitle-font-file)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return ;;
    -dir)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return ;;
    -encoder)
      mapfile -t COMPREPLY < <(compgen -W 'mencoder ffmpeg' -- "$cur")
      return ;;
    # A value of one's own: nothing sensible to offer.
    -dir-filter | -jobs | -r-depth | -sleep-time | -srt-filename | -subtitle-font-size | \
      -subtitle-text | -video-codec | -video-filename | -video-frames-per-second | -video-size)
      return ;;
  esac
  local options='-dir -dir-filter -dry-run -encoder -ffmpeg-path -jobs -list -list0
    -log-path -mencoder-path -r -r-depth -say-settings -skip-existing -sleep-time
    -srt-filename -subtitle-font-file -subtitle-font-size -subtitle-text -usage
    -version -video-codec -video-filename -video-frames-per-second -video-size'
  mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
}
complete -F _slidemill slidemill
