' only a comment

