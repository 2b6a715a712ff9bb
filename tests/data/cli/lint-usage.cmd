lint
