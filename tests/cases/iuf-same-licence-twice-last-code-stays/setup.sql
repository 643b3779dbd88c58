INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('fra4080380012', '100001', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100002', 'MARTIN', 'Paul');
