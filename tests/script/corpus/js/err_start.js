  # what
