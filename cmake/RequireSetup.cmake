# Stops a configure that runs before scripts/setup with a message that says
# so, instead of a missing-compiler or missing-file error further on.
#   kestrune_require_setup(WHAT)  WHAT: what is missing, for the message
function(kestrune_require_setup what)
  message(FATAL_ERROR "${what} is missing: run scripts/setup first (it installs the cross compilers "
                      "and Wine and builds the dependencies into build/deps), then configure again.")
endfunction()
