INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA5110750012', '081502', 'MARTIN', 'Léa');
